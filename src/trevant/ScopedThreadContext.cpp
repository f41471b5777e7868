#include "trevant/ScopedThreadContext.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>

ScopedThreadContext::ScopedThreadContext(ALCcontext* context) {
    alcSetThreadContext(context);
}

ScopedThreadContext::~ScopedThreadContext() {
    alcSetThreadContext(nullptr);
}
