#include "support/SoundIo.h"

#include <gtest/gtest.h>

SoundContents ReadSound(const std::string& path) {
    SoundContents contents;
    CFile file(path, CFile::Mode::Read);
    std::unique_ptr<CSoundFile> sound = OpenSoundFile(file);
    if (sound == nullptr) {
        return contents;
    }
    contents.bOpened = true;
    contents.typeName = sound->GetTypeName(-1);
    contents.dataBytes = sound->ReadFormat(contents.format);
    EXPECT_LE(contents.dataBytes, file.GetLength());
    contents.samples.assign(contents.dataBytes, 0xEE);
    EXPECT_TRUE(sound->ReadAllSamples(contents.samples.data(), contents.dataBytes));
    contents.bHasPan = sound->HasPanChunk();
    if (contents.bHasPan) {
        contents.pan = sound->ReadPanChunk();
        EXPECT_TRUE(contents.pan.has_value());
    }
    sound->ScanChunks();
    contents.unrecognized = sound->CollectUnrecognizedChunks();
    return contents;
}

bool WriteSound(const std::string& path, const std::string& typeName, const PcmFormat& format,
                Bytes& samples, std::optional<PanChunkBytes> pan,
                const UnrecognizedChunkBlock* unrecognized) {
    CFile file(path, CFile::Mode::ReadWriteCreate);
    std::unique_ptr<CSoundFile> writer = CreateSoundFileByName(file, typeName);
    if (writer == nullptr) {
        return false;
    }
    const Bytes before = samples;
    const auto count = static_cast<uint32_t>(samples.size());
    bool bOk = writer->CreateHeader(format, count) && writer->WriteSamples(samples.data(), count);
    EXPECT_EQ(samples, before) << "WriteSamples must give the caller's buffer back unchanged";
    bOk = bOk && writer->CloseSamples();
    if (bOk && pan) {
        const PanChunkBytes panBefore = *pan;
        bOk = writer->WritePanChunk(*pan);
        EXPECT_EQ(*pan, panBefore);
    }
    if (bOk && unrecognized != nullptr) {
        writer->WriteUnrecognizedChunks(*unrecognized);
        bOk = writer->IsOk();
    }
    return bOk && writer->CloseFile();
}

Bytes BlockChunks(const UnrecognizedChunkBlock& block) {
    return Bytes(block.GetChunkBytes(), block.GetChunkBytes() + block.GetLength());
}
