#include "xps2img/conversion/converter.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "xps2img/conversion/guarded_document.h"
#include "xps2img/conversion/memory_cap.h"
#include "xps2img/conversion/messages.h"
#include "xps2img/conversion/output_names.h"
#include "xps2img/conversion/page_run.h"
#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/conversion/report.h"
#include "xps2img/engine/engine.h"
#include "xps2img/platform/failure.h"
#include "xps2img/platform/platform.h"

namespace {

ExitCode Fail(const std::string& message) {
  ReportError(message);
  return ExitCode::kFailure;
}

// Never releases `owner`: work left behind inside MuPDF may still use it until the process ends.
template <typename T>
void KeepAlive(std::unique_ptr<T> owner) {
  static_cast<void>(owner.release());
}

}  // namespace

ConversionEnd Convert(const Options& options) {
  try {
    platform::CheckReadableFile(options.source);
  } catch (const Failure& failure) {
    return {Fail(UnreadableSourceText(options.source, failure.what()))};
  }
  try {
    platform::CheckFolder(options.outputFolder);
  } catch (const Failure& failure) {
    return {Fail(OutputFolderText(options.outputFolder, failure.what()))};
  }

  // A converter that has to wait does so before it builds anything: hundreds waiting cost
  // next to nothing. This slot is its first worker's until every page is done.
  std::unique_ptr<platform::RenderSlot> slot = platform::AcquireRenderSlot();

  std::uint64_t cap = std::min<std::uint64_t>(std::uint64_t(options.memoryMb) << 20, SIZE_MAX);
  XpsDocument::SetMemoryCap(
      options.memoryMb > 0 ? static_cast<std::size_t>(cap)
                           : DefaultMemoryCap(platform::PhysicalMemory(), platform::CoreCount()));
  auto document =
      std::make_unique<GuardedDocument>(GuardedDocument::OpenFile(options.source, kMupdfStoreBytes),
                                        std::chrono::seconds(options.pageSeconds));
  int count = 0;
  try {
    document->Open();
    count = document->PageCount();
  } catch (const RenderError& e) {
    ExitCode code = Fail(
        NotXpsText(options.source, StageFailureText(e, std::chrono::seconds(options.pageSeconds))));
    if (!document->abandoned()) return {code};
    KeepAlive(std::move(document));
    return {code, true};
  }
  if (count == 0) return {Fail(NoPagesText(options.source))};

  // A resolution too high for the document is refused before the output folder is touched.
  // Any other trouble with the first page is reported with the pages.
  try {
    document->CheckSize(0, options.dpi, kPixelLimit);
  } catch (const PageTooLarge& e) {
    return {Fail(FirstPageTooLargeText(options.source, e, options.dpi))};
  } catch (const RenderError&) {
  }

  Reservation names;
  try {
    names = ReserveNames(options.outputFolder, options.stem, count, options.format);
  } catch (const Failure& failure) {
    return {Fail(CannotReserveNamesText(options.outputFolder, failure.what()))};
  }
  auto run = std::make_unique<PageRun>(options, *document, std::move(names), std::move(slot));
  ConversionEnd end = run->Run();
  if (end.leftBehind) {
    KeepAlive(std::move(run));
    KeepAlive(std::move(document));
  }
  return end;
}
