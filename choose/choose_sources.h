#pragma once

#include <string>
#include <vector>

#include "base/desktop.h"
#include "base/form_state.h"

// The full paths of an open-file dialog's answer, in the order it reported them: each name
// joined to the folder with one separator, a name that is already absolute unchanged.
std::vector<std::u16string> JoinSelection(const FileSelection& selection, PathStyle style);

// Button1Click: the user's selection replaces the source list; a cancel changes nothing.
void ChooseSources(FormState& form, Desktop& desktop);
