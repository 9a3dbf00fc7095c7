#include "app/run_click.h"

#include <exception>

#include "base/operation_error.h"
#include "base/utf8.h"
#include "choose/choose_sources.h"
#include "convert/convert_operation.h"
#include "tidy/jpeg_fix.h"

std::optional<std::u16string> RunClick(form::Click click, FormState& form, Desktop& desktop) {
  try {
    switch (click) {
      case form::Click::Button1Click:
        ChooseSources(form, desktop);
        break;
      case form::Click::Button2Click:
        ConvertSources(form, desktop);
        break;
      case form::Click::Button3Click:
        FixJpegExtensions(form, desktop);
        break;
      case form::Click::None:
        break;
    }
  } catch (const OperationError& error) {
    return error.Message();
  } catch (const std::exception& error) {
    return Utf16FromUtf8(error.what());
  }
  return std::nullopt;
}
