#include "cli/CliPrompts.h"

#include <cstdio>

UserPrompts::Answer CliPrompts::ShowMessage(const Box& box) {
    // Blocks are set apart by an empty line, as a message may span several lines.
    std::fprintf(stderr, "%s%s\n", m_texts.empty() ? "" : "\n", box.text.c_str());
    m_texts.push_back(box.text);
    return box.defaultAnswer;
}
