#include "convert/convert_operation.h"

#include "base/texts.h"
#include "convert/command.h"

void ConvertSources(FormState& form, Desktop& desktop) {
  const auto folder = desktop.ChooseFolder(texts::kFolderDialogTitle);
  if (!folder) return;
  form.SetOutputDirectory(*folder);

  const std::int32_t resolution = ReadResolution(form.ResolutionText());
  const std::vector<std::u16string> sources = form.SourceItems();
  const int count = static_cast<int>(sources.size());
  if (count == 0) return;
  const PathStyle style = desktop.Style();
  const std::u16string programFolder = ProgramFolder(desktop.ExecutablePath(), style);
  const std::u16string format = form.FormatText();
  for (int i = 0; i < count; ++i) {
    const ConversionJob job{programFolder, sources[i], *folder, format, resolution, i, count};
    const ProgramCommand command = BuildConverterCommand(job, style);
    desktop.StartProcess(command.program, command.arguments);
  }
}
