#ifndef TREVANT_TEST_HOOK_H
#define TREVANT_TEST_HOOK_H

/* Only in the test build of the library (target trevant_testing). */

#ifdef __cplusplus
extern "C" {
#endif

/* The next call of the named operation ("InitEx", "SetOptions", "Activate", "OpenChannel",
   "OpenWave", "FreeWave", "SetPosition", "SetVolume", "PlayEx", "GetPlayPosition",
   "StopChannel") fails with code and does nothing else. Calls queue up per operation. */
void AmbrelWaveMixTestFailNext(const char* operation, int code);
void AmbrelWaveMixTestClearFailures(void);

#ifdef __cplusplus
}
#endif

#endif
