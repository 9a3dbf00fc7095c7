#pragma once

#include <string>
#include <string_view>

#include "base/desktop.h"
#include "base/form_state.h"

// The one-line script that renames the folder's .jpeg images to .jpg, for the platform's
// own command processor; it never replaces an existing .jpg.
std::string_view JpegFixScriptText(PathStyle style);

// The script's path in `folder` for the n-th try (1, 2, ...): rename.bat, rename-2.bat, ...
// (.sh on POSIX), joined to the folder as it stands.
std::u16string JpegFixScriptPath(std::u16string_view folder, int attempt, PathStyle style);

// Button3Click: renames the .jpeg images of OutputDirectory to .jpg through a script that
// the tool creates, has run, and deletes again.
void FixJpegExtensions(const FormState& form, Desktop& desktop);
