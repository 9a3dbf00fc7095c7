#pragma once

#include "app/desktop.h"
#include "app/form_state.h"

// Button2Click: asks for the output folder, remembers it, and starts one converter per
// source file without waiting for any of them.
void ConvertSources(FormState& form, Desktop& desktop);
