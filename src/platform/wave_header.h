// The WAV header's former home: everything about the format is in platform/wave_file.h.
#pragma once

#include "platform/wave_file.h"
