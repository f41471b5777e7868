#ifndef TREVANT_H
#define TREVANT_H

/*
 * Trevant: the 3-D mixer as a C API, over OpenAL Soft.
 *
 * Handles are 32-bit numbers, never pointers: a handle that was never issued, or whose session
 * or wave is gone, gives an error code on every call and never touches freed memory.
 * Every operation returns 0 for success or one of the codes below. Positions and lengths are
 * sample frames, byte counts are bytes, directions are whole degrees, latency is milliseconds.
 *
 * Ownership: the session owns its device, its channels and its waves. The samples of a wave
 * stay in the caller's memory, read in small pieces while the wave plays; the caller keeps
 * them alive until the wave is freed or its session closed. Closing a session frees its waves:
 * freeing such a wave later succeeds as "already freed".
 *
 * How the preferences map onto OpenAL Soft:
 * - Latency (MixerSessionConfig.latencyMs): the lead of the channel's buffer queue (four
 *   buffers together hold this much sound) and the device's update size (a quarter of it,
 *   as ALC_REFRESH). 0 means the defaults: a 100 ms lead and the device's own update size.
 * - Output (MixerSessionConfig.output): OpenAL Soft picks its back end once per process from
 *   its configuration (ALSOFT_DRIVERS, alsoft.conf), so no choice here can switch it.
 *   0 (let the library decide) and 2 (DirectSound) take the default device with the latency
 *   above. 1 (WaveOut) takes the default device at its own update size (the latency sets
 *   only the queue lead), and a busy device is then reported as code 21.
 * - Flag 1 of MixerSessionConfig.flags (use the primary buffer): the device runs at the
 *   session's sample rate (ALC_FREQUENCY) instead of its own mixing rate.
 * - Low-pass (option bit AMBREL_WAVEMIX_OPTION_LOWPASS, on by default): the EFX low-pass
 *   filter on each channel's direct path when the device has ALC_EXT_EFX, with
 *   AL_LOWPASS_GAINHF 0.5: -6 dB at OpenAL Soft's 5 kHz reference, falling further above.
 *   AmbrelWaveMixSetOptions(session, 0, 0xFFFFFFFF) turns it off.
 * - Direction d puts the channel's source at azimuth d relative to the listener
 *   (x = sin d, z = -cos d): -90 full left, 0 ahead, +90 full right. Mono waves only; a
 *   stereo wave plays as it is. HRTF is OpenAL Soft's own choice: on when it detects
 *   headphones or when its configuration asks for it.
 *
 * Threads: all calls may come from any thread. Each active session runs one feeder thread
 * that refills the queues and delivers wave-done notifications.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t AmbrelWaveMixSession; /* 0: none */
typedef uint32_t AmbrelWaveMixWave;    /* 0: none */

enum {
    AMBREL_WAVEMIX_OK = 0,
    AMBREL_WAVEMIX_ERR_DEVICE_BUSY = 1,
    AMBREL_WAVEMIX_ERR_BAD_SESSION = 2,
    AMBREL_WAVEMIX_ERR_BAD_CONFIG = 3,
    AMBREL_WAVEMIX_ERR_NO_DEVICE = 4,
    AMBREL_WAVEMIX_ERR_NOT_ACTIVE = 5,
    AMBREL_WAVEMIX_ERR_BAD_CHANNEL = 6,
    AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN = 7,
    AMBREL_WAVEMIX_ERR_BAD_WAVE = 8,
    AMBREL_WAVEMIX_ERR_BAD_FORMAT = 9,
    AMBREL_WAVEMIX_ERR_BAD_PARAM = 10,
    AMBREL_WAVEMIX_ERR_NO_RESOURCES = 11,
    AMBREL_WAVEMIX_ERR_AUDIO = 12,
    AMBREL_WAVEMIX_ERR_THREAD = 13,
    AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY = 21
};

/* MixerSessionConfig.flags */
#define AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER 1u
/* MixerSessionConfig.output */
#define AMBREL_WAVEMIX_OUTPUT_AUTO 0u
#define AMBREL_WAVEMIX_OUTPUT_WAVEOUT 1u
#define AMBREL_WAVEMIX_OUTPUT_DIRECTSOUND 2u
/* Option bits of AmbrelWaveMixSetOptions */
#define AMBREL_WAVEMIX_OPTION_LOWPASS 1u
/* AmbrelWaveMixOpenWave flags: the samples are in the caller's memory (the only source). */
#define AMBREL_WAVEMIX_WAVE_MEMORY 8u
/* AmbrelWaveMixSetPosition flags: 8 before play starts, 0 while playing. Both take effect
   at the device's next update. */
#define AMBREL_WAVEMIX_POSITION_INITIAL 8u
/* AmbrelWaveMixPlayEx flags: stop what the channel plays and start at once. */
#define AMBREL_WAVEMIX_PLAY_NOW 1u
/* AmbrelWaveMixGetPlayPosition flags: the position in sample frames. */
#define AMBREL_WAVEMIX_POSITION_FRAMES 1u

/* 10 fields of 32 bits, 40 bytes. */
typedef struct MixerSessionConfig {
    uint32_t size; /* sizeof(MixerSessionConfig) */
    uint32_t flags;
    uint32_t sampleRate; /* Hz: 11025, 22050 or 44100 */
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t channels; /* number of channels, 1 to 8 */
    uint32_t output;
    uint32_t latencyMs; /* 0 to 1000, more counts as 1000; 0 = default */
    uint32_t reserved3;
    uint32_t reserved4;
} MixerSessionConfig;

/* The 16-byte PCM header the wave source points at, as a sound file holds it. */
typedef struct MixerPcmFormat {
    uint16_t formatTag; /* 1 = PCM */
    uint16_t channels;  /* 1 or 2 */
    uint32_t sampleRate;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;    /* bytes per frame */
    uint16_t bitsPerSample; /* 8 (unsigned, 128 silence) or 16 (signed, native order) */
} MixerPcmFormat;

/* On 32-bit builds 16 bytes; the pointers make it wider on 64-bit, in the same order. */
typedef struct MixerWaveSource {
    const MixerPcmFormat* format; /* read at open time only */
    const void* data;             /* first byte of the range; borrowed until the wave is freed */
    uint32_t byteCount;           /* whole frames are played; a partial last frame is ignored */
    uint16_t reserved;            /* 0 */
    uint16_t unused;              /* not read */
} MixerWaveSource;

/* Called once from the session's feeder thread when a wave has played out on a channel
   (never after AmbrelWaveMixStopChannel or when the session closes). It must return quickly
   and must not call back into this library: post to your own thread instead. */
typedef void (*MixerWaveDoneProc)(void* user, uint32_t channel);

/* Zero except the size. The notify target (callback and its user pointer) stands where a
   window handle once stood, at offset 8; 36 bytes on 32-bit builds. */
typedef struct MixerPlayParams {
    uint32_t size; /* sizeof(MixerPlayParams) */
    uint32_t reserved0;
    MixerWaveDoneProc waveDone; /* may be NULL: no notification */
    void* waveDoneUser;
    uint32_t reserved[5];
} MixerPlayParams;

typedef struct MixerPosition {
    int32_t direction; /* degrees, -90 left ... +90 right */
    int32_t reserved1; /* 0 */
    int32_t reserved2; /* 0 */
} MixerPosition;

/* Opens the default device for the config. Returns the session, or 0 (the code is then
   in AmbrelWaveMixGetLastError). */
AmbrelWaveMixSession AmbrelWaveMixInitEx(const MixerSessionConfig* config);
/* The code of the last failed InitEx or OpenWave in this process. */
int AmbrelWaveMixGetLastError(void);
/* Turns on the option bits in `set`, then off those in `clear`. */
int AmbrelWaveMixSetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear);
/* 1 takes the output (creates the context, starts the feeder thread); 0 releases it and
   stops every channel. Busy output: code 1 (21 with output WaveOut). */
int AmbrelWaveMixActivate(AmbrelWaveMixSession session, uint32_t activate);
/* Opens channel `channel` (below the config's channel count); flags 1 = that channel only. */
int AmbrelWaveMixOpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags);
/* Makes a wave of the caller's samples; flags must hold AMBREL_WAVEMIX_WAVE_MEMORY.
   Returns the wave, or 0 (code in AmbrelWaveMixGetLastError). */
AmbrelWaveMixWave AmbrelWaveMixOpenWave(AmbrelWaveMixSession session, const MixerWaveSource* source,
                                        uint32_t reserved, uint32_t flags);
/* Stops any channel playing it and releases it. A wave of a closed session: 0. */
int AmbrelWaveMixFreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave);
int AmbrelWaveMixSetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                             const MixerPosition* position);
/* volume 0 ... 32767 (full); flags 0. */
int AmbrelWaveMixSetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                           uint32_t volume);
/* Plays the wave from its first frame; loops 0 = once. Returns within a few ms whatever the
   wave's length. */
int AmbrelWaveMixPlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                        AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams* params);
/* *position = frames played from the start of the wave's range (its length once played out,
   the stop point after a stop). *wave must be the wave last played on the channel. */
int AmbrelWaveMixGetPlayPosition(AmbrelWaveMixSession session, uint32_t channel,
                                 const AmbrelWaveMixWave* wave, uint32_t* position, uint32_t flags);
/* As AmbrelWaveMixGetPlayPosition, and *latencyUs = how long the output still takes from
   that position to the ear, in microseconds, as the device reports it (0 where it reports
   none, and once the wave has played out or stopped). The frame being heard is the position
   less the latency at the wave's rate. */
int AmbrelWaveMixGetOutputPosition(AmbrelWaveMixSession session, uint32_t channel,
                                   const AmbrelWaveMixWave* wave, uint32_t* position,
                                   uint32_t* latencyUs);
/* Silences the channel at once; flags 0. No wave-done follows. */
int AmbrelWaveMixStopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags);
/* Stops everything and releases the device, channels and waves. */
int AmbrelWaveMixCloseSession(AmbrelWaveMixSession session);
/* Writes the code's text, at most maxChars characters plus a terminating zero (the buffer
   holds maxChars + 1 bytes). Unknown codes get a generic text. */
int AmbrelWaveMixGetErrorText(int code, char* buffer, uint32_t maxChars);

#ifdef __cplusplus
}
#endif

#endif
