#pragma once

#include "base/desktop.h"
#include "base/form_state.h"

// Button2Click: asks for the output folder, remembers it, and starts one converter per
// source file without waiting for any of them.
void ConvertSources(FormState& form, Desktop& desktop);
