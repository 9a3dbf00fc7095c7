#pragma once

#include <optional>
#include <string>

#include "app/form.h"
#include "base/desktop.h"
#include "base/form_state.h"

// Runs the operation a click stands for (none for Click::None) on the window's state. When it
// throws, gives the message for the default error report, which the front end shows; the
// window keeps its state as the operation left it.
std::optional<std::u16string> RunClick(form::Click click, FormState& form, Desktop& desktop);
