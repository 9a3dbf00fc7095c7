#include "app/run_click.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/texts.h"
#include "tests/fake_desktop.h"
#include "tidy/jpeg_fix.h"

namespace {

// A desktop whose file dialog fails the way a library might: a standard exception with
// UTF-8 text.
class FailingDesktop : public FakeDesktop {
 public:
  std::optional<FileSelection> ChooseFiles(std::u16string_view) override {
    throw std::runtime_error("对话框 failed");
  }
};

TEST(RunClick, RunsEachButtonsOperationAndGivesWhatItThrowsAsTheReport) {
  FakeDesktop desktop;
  FakeForm form;
  EXPECT_EQ(RunClick(form::Click::None, form, desktop), std::nullopt);
  EXPECT_TRUE(desktop.calls.empty());

  desktop.fileAnswer = FileSelection{u"D:\\Docs", {u"a.xps"}};
  EXPECT_EQ(RunClick(form::Click::Button1Click, form, desktop), std::nullopt);
  EXPECT_EQ(form.items, std::vector<std::u16string>{u"D:\\Docs\\a.xps"});

  EXPECT_EQ(RunClick(form::Click::Button2Click, form, desktop), std::nullopt);
  EXPECT_EQ(desktop.calls[1], u"ChooseFolder " + std::u16string(texts::kFolderDialogTitle));

  // Every script name taken: the operation's own error becomes the report.
  desktop.existingFolders = {u"E:\\"};
  form.outputDirectory = u"E:\\";
  for (int attempt = 1; attempt <= 100; ++attempt) {
    desktop.files[JpegFixScriptPath(u"E:\\", attempt, PathStyle::Windows)] = "x";
  }
  const auto report = RunClick(form::Click::Button3Click, form, desktop);
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find(JpegFixScriptPath(u"E:\\", 1, PathStyle::Windows)), std::u16string::npos);

  FailingDesktop failing;
  EXPECT_EQ(RunClick(form::Click::Button1Click, form, failing), u"对话框 failed");
}

}  // namespace
