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
 *   as ALC_REFRESH, which OpenAL Soft 1.19 ignores for a playback device). 0 means the
 *   defaults: a 100 ms lead and the device's own update size. The lead is never shorter than
 *   4/3 of the device's period and a millisecond: OpenAL Soft mixes a period at a time, and a
 *   queue that ends inside one pauses the sound. AmbrelWaveMixSelectPeriod sets the period.
 * - Output (MixerSessionConfig.output): the stored values keep their old names and meaning
 *   for this library; on Linux they name OpenAL Soft's back ends. 2 (PULSE, once DirectSound)
 *   is PipeWire / PulseAudio, 1 (ALSA, once WaveOut) is ALSA, 0 lets OpenAL Soft decide.
 *   OpenAL Soft picks its back end once per process, so the choice works only through
 *   AmbrelWaveMixSelectOutput before the library's first use of OpenAL Soft; a session's own
 *   output value cannot switch it. 0 and 2 take the device with the latency above; 1 takes
 *   it at its own update size (the latency sets only the queue lead), and a busy device is
 *   then reported as code 21.
 * - Device (MixerOutputOptions.device): a name as AmbrelWaveMixGetDeviceName gives it, or
 *   none for the back end's default device.
 * - Flag 1 of MixerSessionConfig.flags (use the primary buffer, "run the device at the
 *   sound's rate"): the device runs at the session's sample rate (ALC_FREQUENCY) instead of
 *   its own mixing rate. Ignored while HRTF is asked for, whose rate wins.
 * - Low-pass (option bit AMBREL_WAVEMIX_OPTION_LOWPASS, on by default): the EFX low-pass
 *   filter on each channel's direct path when the device has ALC_EXT_EFX, with
 *   AL_LOWPASS_GAINHF 0.5: -6 dB at OpenAL Soft's 5 kHz reference, falling further above.
 *   AmbrelWaveMixSetOptions(session, 0, 0xFFFFFFFF) turns it off.
 * - Direction d puts the channel's source at azimuth d relative to the listener
 *   (x = sin d, z = -cos d): -90 full left, 0 ahead, +90 full right. Mono waves only; a
 *   stereo wave plays as it is.
 * - Place (AmbrelWaveMixSetPlace, AmbrelWaveMixRenderSetPlace): azimuth az, elevation el and
 *   distance d put the source at d * (sin az cos el, sin el, -cos az cos el) metres relative
 *   to the listener. OpenAL Soft's own distance attenuation is off for a placed source: its
 *   gain is the volume times the place's gain (the caller's, from the distance law and
 *   whatever else the sound met on its way), so a placed source may be up to 4 times the
 *   volume.
 *   A stereo wave on a placed channel plays as two mono sources, its left samples at
 *   az - width/2 and its right samples at az + width/2 (same elevation and distance), queued
 *   in step and counted as one position. A stereo wave already playing whole when the first
 *   place comes starts again split from the frame it has reached, and back whole when
 *   SetPosition ends the place. A place holds until SetPosition, which gives the direction
 *   its old meaning again (1 m, the volume alone as the gain, a stereo wave as it is).
 * - HRTF (MixerOutputOptions.hrtf): AUTO leaves it to OpenAL Soft (on when it detects
 *   headphones or when its configuration asks for it); OFF asks for plain panning; ON asks
 *   for binaural mixing with the named HRTF (or the first that fits) and runs the device at
 *   the rate the HRTF is made for, whatever the sound's rate: OpenAL Soft resamples the wave.
 *   HRTF data sets are made for one rate each (OpenAL Soft 1.19 does not resample them).
 *   With several to choose from, the sound's own rate is taken when one fits it, else the
 *   lowest rate above it, else the highest there is: 44100 Hz for sounds up to 44100 Hz and
 *   48000 Hz above, with the data sets of Debian's libopenal-data.
 * - Loopback render (AmbrelWaveMixRender*): the same channel as a session's, mixed on
 *   OpenAL Soft's loopback device into float stereo in the caller's memory, as fast as the
 *   machine allows. It needs no sound card and no back end.
 *
 * Threads: all calls may come from any thread. Each active session runs one feeder thread
 * that refills the queues and delivers wave-done notifications. A render runs on the thread
 * that calls it and holds no lock other calls need, so renders on several threads run side
 * by side; one render is used by one thread at a time.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t AmbrelWaveMixSession; /* 0: none */
typedef uint32_t AmbrelWaveMixWave;    /* 0: none */
typedef uint32_t AmbrelWaveMixRender;  /* 0: none */

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
    AMBREL_WAVEMIX_ERR_NO_HRTF = 14,      /* HRTF asked for, but none fits or the name is unknown */
    AMBREL_WAVEMIX_ERR_OUTPUT_FIXED = 15, /* the back end was already chosen in this process */
    AMBREL_WAVEMIX_ERR_OUTPUT_UNTOLD = 16, /* OpenAL Soft does not tell the device's channels */
    AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY = 21
};

/* MixerSessionConfig.flags */
#define AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER 1u
/* MixerSessionConfig.output */
#define AMBREL_WAVEMIX_OUTPUT_AUTO 0u
#define AMBREL_WAVEMIX_OUTPUT_WAVEOUT 1u
#define AMBREL_WAVEMIX_OUTPUT_DIRECTSOUND 2u
/* The same values by the back ends they choose on Linux. */
#define AMBREL_WAVEMIX_OUTPUT_ALSA AMBREL_WAVEMIX_OUTPUT_WAVEOUT
#define AMBREL_WAVEMIX_OUTPUT_PULSE AMBREL_WAVEMIX_OUTPUT_DIRECTSOUND
/* OpenAL Soft's jack back end alone: no other back end stands in when no server runs. */
#define AMBREL_WAVEMIX_OUTPUT_JACK 3u
/* MixerOutputOptions.hrtf and MixerRenderConfig.hrtf */
#define AMBREL_WAVEMIX_HRTF_AUTO 0u
#define AMBREL_WAVEMIX_HRTF_ON 1u
#define AMBREL_WAVEMIX_HRTF_OFF 2u
/* Option bits of AmbrelWaveMixSetOptions */
#define AMBREL_WAVEMIX_OPTION_LOWPASS 1u
/* AmbrelWaveMixOpenWave flags: the samples are in the caller's memory (the only source). */
#define AMBREL_WAVEMIX_WAVE_MEMORY 8u
/* With WAVE_MEMORY: a stereo wave that is already the final left and right, as a render wrote
   it. It goes to the output's two channels as it is: no direction, place, HRTF or low-pass.
   A float wave of 4, 6, 7 or 8 channels (quad, 5.1, 6.1, 7.1 in OpenAL's channel order) goes
   to the output's loudspeakers of those names alike; it must be mixed. */
#define AMBREL_WAVEMIX_WAVE_MIXED 16u
/* With WAVE_MEMORY: samples the caller is still writing. None may be read until
   AmbrelWaveMixSetWaveReady says so; a channel that reaches the end of what is ready plays
   silence until more is, and plays out only at the end of the range. */
#define AMBREL_WAVEMIX_WAVE_GROWING 32u
/* AmbrelWaveMixSetWaveReady frames: leaves the ready count as it is (a question only). */
#define AMBREL_WAVEMIX_READY_UNCHANGED 0xFFFFFFFFu
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
    uint16_t formatTag; /* 1 = PCM, 3 = IEEE float (32 bits) */
    uint16_t channels;  /* 1 or 2; 4, 6, 7 or 8 for a mixed float wave */
    uint32_t sampleRate;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;    /* bytes per frame */
    uint16_t bitsPerSample; /* 8 (unsigned, 128 silence), 16, 24 or 32 (signed, native order),
                               or 32 floats; the deep ones play as floats */
} MixerPcmFormat;

/* On 32-bit builds 16 bytes; the pointers make it wider on 64-bit, in the same order. */
typedef struct MixerWaveSource {
    const MixerPcmFormat* format; /* read at open time only */
    const void* data;             /* first byte of the range; borrowed until the wave is freed */
    uint32_t byteCount;           /* whole frames are played; a partial last frame is ignored */
    uint16_t reserved;            /* 0 */
    uint16_t unused;              /* not read */
} MixerWaveSource;

/* A wave the caller reads out as it is played or rendered: frames [firstFrame, firstFrame +
   frames) as floats of full scale 1.0, channels interleaved (left first), into out. It is
   called on the session's feeder thread for a playing wave, and on the render's caller for a
   loopback render; it must return promptly, never fail (silence for what it cannot give) and
   never call back into this library. The samples it reads must stay as they are while the
   wave lives. */
typedef void (*MixerWaveReadProc)(void* user, uint32_t firstFrame, uint32_t frames, float* out);

typedef struct MixerWaveReader {
    uint32_t size;       /* sizeof(MixerWaveReader) */
    uint16_t channels;   /* 1 or 2 */
    uint16_t reserved;   /* 0 */
    uint32_t sampleRate; /* Hz, 1000 ... 192000 */
    uint32_t frameCount;
    MixerWaveReadProc read;
    void* user;
} MixerWaveReader;

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

/* Where a channel's (or a render's) sound stands all around the listener; 24 bytes. */
typedef struct MixerPlace {
    uint32_t size;       /* sizeof(MixerPlace) */
    int32_t azimuth;     /* whole degrees -179..180: 0 ahead, +90 right, -90 left, 180 behind */
    int32_t elevation;   /* whole degrees -90..+90, +90 up */
    uint32_t distanceCm; /* 10..10000, from the centre of the head */
    int32_t width;       /* whole degrees 0..180: a stereo wave's left channel at azimuth -
                            width/2, its right at azimuth + width/2; ignored for mono */
    float gain;          /* 0..4, linear: how loud the sound arrives there, times the volume */
} MixerPlace;

/* What a session opens besides its config. The strings are read during the call only. */
typedef struct MixerOutputOptions {
    uint32_t size;        /* sizeof(MixerOutputOptions) */
    uint32_t hrtf;        /* AMBREL_WAVEMIX_HRTF_AUTO, _ON or _OFF */
    const char* device;   /* NULL or "": the default device */
    const char* hrtfName; /* with HRTF on; NULL or "": the first that fits */
} MixerOutputOptions;

/* Whether HRTF renders on a session's or a render's device, and with which data set. */
typedef struct MixerHrtfState {
    uint32_t size;       /* sizeof(MixerHrtfState), set by the caller */
    uint32_t enabled;    /* 1: binaural mixing, 0: plain panning */
    int32_t status;      /* OpenAL Soft's ALC_HRTF_STATUS_SOFT: why it is on or off */
    uint32_t sampleRate; /* the device's mixing rate, Hz */
    char name[256];      /* the HRTF in use, "" when off; cut to 255 characters */
} MixerHrtfState;

/* A loopback render: float stereo of one wave into the caller's memory. */
typedef struct MixerRenderConfig {
    uint32_t size;        /* sizeof(MixerRenderConfig) */
    uint32_t sampleRate;  /* Hz, the wave's rate: with HRTF on it picks the device's rate */
    uint32_t hrtf;        /* AMBREL_WAVEMIX_HRTF_AUTO (OpenAL Soft's configuration), _ON, _OFF */
    uint32_t options;     /* option bits as for AmbrelWaveMixSetOptions */
    const char* hrtfName; /* with HRTF on; NULL or "": the first that fits */
} MixerRenderConfig;

/* Opens the default device for the config. Returns the session, or 0 (the code is then
   in AmbrelWaveMixGetLastError). */
AmbrelWaveMixSession AmbrelWaveMixInitEx(const MixerSessionConfig* config);
/* InitEx with a device and an HRTF choice; options NULL is InitEx. A device that is not
   there gives code 4 (AMBREL_WAVEMIX_ERR_NO_DEVICE), an HRTF name that is not there code 14.
   Whether HRTF really renders is known once the session is active (GetHrtfState). */
AmbrelWaveMixSession AmbrelWaveMixInitOutput(const MixerSessionConfig* config,
                                             const MixerOutputOptions* options);
/* The code of the last failed InitEx, InitOutput, OpenWave or RenderOpen in this process. */
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
/* The same for a wave read out through reader (flags as for OpenWave, without
   AMBREL_WAVEMIX_WAVE_MEMORY; a growing wave is not read this way). */
AmbrelWaveMixWave AmbrelWaveMixOpenWaveReader(AmbrelWaveMixSession session,
                                              const MixerWaveReader* reader, uint32_t flags);
/* Stops any channel playing it and releases it. A wave of a closed session: 0. */
int AmbrelWaveMixFreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave);
/* The first `frames` frames of a growing wave may be read (or AMBREL_WAVEMIX_READY_UNCHANGED).
   A count below what a channel has already taken from the wave counts as that: *fed receives
   the frames taken so far, handed to the device and no longer read from the caller's memory,
   and the frames from there on may be rewritten while they are not ready. Lowering the count
   to 0 and rewriting from *fed replaces what has not been taken yet. */
int AmbrelWaveMixSetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames,
                              uint32_t* fed);
int AmbrelWaveMixSetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                             const MixerPosition* position);
/* Places the channel's sound (see "Place" at the top); flags as for SetPosition. A wrong size
   or a value out of range: code 10, and nothing changes. */
int AmbrelWaveMixSetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                          const MixerPlace* place);
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

/* The HRTF state of an active session's device. Code 5 before Activate. */
int AmbrelWaveMixGetHrtfState(AmbrelWaveMixSession session, MixerHrtfState* state);
/* How many channels an active session's device plays: 1, 2, 4, 6 (5.1), 7 (6.1) or 8 (7.1).
   Code 16 where OpenAL Soft cannot tell (before 1.22, which has ALC_SOFT_output_mode), code 5
   before Activate. */
int AmbrelWaveMixGetOutputChannels(AmbrelWaveMixSession session, uint32_t* channels);

/* Chooses OpenAL Soft's back end for this process from an output value (0, 1 or 2). It takes
   effect only before this library's first call into OpenAL Soft, and only when the
   environment (ALSOFT_DRIVERS) does not choose already; then 0. Otherwise code 15 and
   nothing changes: a new choice takes effect at the next start. Call it early, before other
   threads run: it sets ALSOFT_DRIVERS. A chosen back end that is missing falls back to the
   others in OpenAL Soft's order. */
int AmbrelWaveMixSelectOutput(uint32_t output);
/* The output value whose back end this process runs on: the one SelectOutput took, else 0
   (OpenAL Soft's own choice, which the environment may steer). */
uint32_t AmbrelWaveMixGetOutputInEffect(void);
/* Chooses the device's period for this process, in frames from 64 to 8192, and how many
   periods it buffers, 2 to 16 (OpenAL Soft's period_size and periods), or 0 and 0 for
   OpenAL Soft's own (1024 and 3 unless its configuration says otherwise). Short periods let
   a sound rendered close to the device, such as one that follows a head, be heard soon. It
   takes effect under the same conditions as SelectOutput, here that the environment does not
   name a configuration (ALSOFT_CONF); then 0, else code 15 (code 3 for values out of range).
   It sets ALSOFT_CONF to a configuration held in memory, read after the user's own, which
   changes these two alone. */
int AmbrelWaveMixSelectPeriod(uint32_t frames, uint32_t periods);
/* The period SelectPeriod took, else 0. */
uint32_t AmbrelWaveMixGetPeriodInEffect(void);

/* Lists the output devices of the back end now (ALC_ALL_DEVICES_SPECIFIER) and keeps the
   list; returns how many there are. The default device need not be among them by name. */
uint32_t AmbrelWaveMixEnumerateDevices(void);
/* The index-th name of the kept device list. Code 10 when the index is past the list or the
   name has more than maxChars characters (a cut name would open another device). */
int AmbrelWaveMixGetDeviceName(uint32_t index, char* buffer, uint32_t maxChars);

/* Lists the HRTF data sets OpenAL Soft offers (ALC_SOFT_HRTF), finds the one rate each is
   made for on a loopback device, and keeps the list; returns how many there are. */
uint32_t AmbrelWaveMixEnumerateHrtfs(void);
/* The index-th HRTF of the kept list (enumerated on first use): its name, as sessions and
   renders take it, and *sampleRate, its rate in Hz (may be NULL). Code 10 as for device
   names. */
int AmbrelWaveMixGetHrtfName(uint32_t index, char* buffer, uint32_t maxChars, uint32_t* sampleRate);
/* The device rate HRTF on runs at for a sound of soundRate Hz with the named HRTF (NULL or
   "": any), by the rule at the top; 0 when none fits. */
uint32_t AmbrelWaveMixChooseHrtfRate(uint32_t soundRate, const char* hrtfName);

/* Opens a loopback device for the config, with OpenAL Soft's output limiter off so the mix
   is never squashed: samples may exceed +-1.0. Returns the render, or 0 (code in
   AmbrelWaveMixGetLastError; 14 when HRTF on cannot be met). */
AmbrelWaveMixRender AmbrelWaveMixRenderOpen(const MixerRenderConfig* config);
int AmbrelWaveMixRenderGetState(AmbrelWaveMixRender render, MixerHrtfState* state);
/* Starts the wave from its first frame, as PlayEx starts it on a channel, at full volume
   and straight ahead (a place set before is ended). The samples are borrowed until the render
   closes or starts another. */
int AmbrelWaveMixRenderStart(AmbrelWaveMixRender render, const MixerWaveSource* source);
/* The same for a wave read out through reader as the render mixes. */
int AmbrelWaveMixRenderStartReader(AmbrelWaveMixRender render, const MixerWaveReader* reader);
/* The direction from the next rendered frame on; flags as for SetPosition. */
int AmbrelWaveMixRenderSetPosition(AmbrelWaveMixRender render, uint32_t flags,
                                   const MixerPosition* position);
/* The place from the next rendered frame on, as AmbrelWaveMixSetPlace places a channel;
   flags as for SetPosition. Code 10 as there. */
int AmbrelWaveMixRenderSetPlace(AmbrelWaveMixRender render, uint32_t flags,
                                const MixerPlace* place);
/* Mixes up to maxFrames frames at the device's rate into out (interleaved left, right) and
   stops sooner once the wave has been read up to frame untilFrame (a frame of the wave; one
   past its last frame never stops early). Upsampled, it ends exactly where the wave reaches
   untilFrame. *rendered gets the frames written, 0 only when the wave was read that far
   already, and *position the wave frames read so far, as GetPlayPosition counts them. After
   the end of the wave the output is silence. Code 8 before RenderStart. */
int AmbrelWaveMixRenderFrames(AmbrelWaveMixRender render, float* out, uint32_t maxFrames,
                              uint32_t untilFrame, uint32_t* rendered, uint32_t* position);
int AmbrelWaveMixRenderClose(AmbrelWaveMixRender render);

#ifdef __cplusplus
}
#endif

#endif
