#pragma once

#include <string>

#include "xps2img/conversion/options.h"
#include "xps2img/conversion/output_names.h"
#include "xps2img/engine/engine.h"
#include "xps2img/writers/image_writer.h"

// Writes one page under its temporary name, which it creates, then moves it to its final name
// without replacing anything. Throws Failure (RenderError, EncodeError among its kinds) with the
// reason; the temporary file is then the caller's to remove. `stop`, when given, cuts
// the rendering short (PageStopped); what could not be drawn goes to `losses`, when given.
void WritePage(BandRenderer& renderer, const PreparedPage& page, const PageFile& file,
               const Options& options, PageStop* stop, PageLosses* losses);

// Renders `page` into `writer`, in grey (one channel) if `grey`. False, with the image left
// unfinished, when a page to be stored in grey turns out to have colour. Throws as WritePage.
bool EncodePage(BandRenderer& renderer, const PreparedPage& page, ImageWriter& writer, bool grey,
                PageStop* stop, PageLosses* losses);
