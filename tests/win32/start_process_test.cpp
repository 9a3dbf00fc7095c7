#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include <shellapi.h>

#include "app/win32/wide.h"
#include "app/win32/win32_desktop.h"
#include "app/windows_command_line.h"
#include "convert/command.h"
#include "convert/convert_operation.h"
#include "tests/awkward_jobs.h"
#include "tests/fake_desktop.h"
#include "tests/win32/scripted_desktop.h"
#include "tests/win32/temp_folder.h"

namespace {

using namespace std::chrono_literals;

struct Record {
  std::string commandLine;  // UTF-8
  std::string ansiHex;
  std::vector<std::string> arguments;
};

Record ParseRecord(const std::string& text) {
  Record record;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("W ")) record.commandLine = line.substr(2);
    if (line.starts_with("A ")) record.ansiHex = line.substr(2);
    if (line.starts_with("ARG ")) record.arguments.push_back(line.substr(4));
  }
  return record;
}

// The recorder's reports, keyed by the command line it was given, once one has come for each
// of `commands` (or half a minute has passed).
std::map<std::string, Record> AwaitRecords(const std::wstring& folder,
                                           const std::vector<std::string>& commands) {
  std::map<std::string, Record> records;
  for (auto waited = 0ms; waited < 30s; waited += 50ms) {
    records.clear();
    for (const std::wstring& name : FileNames(folder, L"record-*.txt")) {
      Record record = ParseRecord(ReadBytes(folder + L"\\" + name).value_or(""));
      records[record.commandLine] = record;
    }
    if (std::all_of(commands.begin(), commands.end(),
                    [&](const std::string& command) { return records.contains(command); })) {
      break;
    }
    Sleep(50);
  }
  return records;
}

// What WinExec would have been handed: the command in the ANSI code page, as hex.
std::string AnsiHex(const std::u16string& command) {
  const std::wstring wide = Wide(command);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string ansi(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), size, nullptr, nullptr);
  std::string hex;
  for (std::size_t i = 0; i + 1 < ansi.size(); ++i) {
    constexpr char kDigits[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(ansi[i]);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// A tool folder whose name the ANSI code page cannot hold, with the recorder as converter.
class ConverterStart : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring bin = tool_ / L"bin";
    ASSERT_TRUE(CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\command_recorder.exe").c_str(),
                          (bin + L"\\xps2img.exe").c_str(), TRUE));
  }

  std::u16string ToolExecutable() const { return Utf16(tool_ / L"Vellumor.exe"); }
  std::wstring Bin() const { return tool_ / L"bin"; }

  TempFolder tool_{L"图 Ω tool"};
};

TEST_F(ConverterStart, EachConverterReceivesItsExactCommandLine) {
  struct Case {
    std::vector<std::u16string> sources;
    std::u16string folder, format, resolution;
    std::vector<std::vector<std::string>> expectedTails;  // the arguments after the program
  };
  const std::vector<Case> cases = {
      {{u"D:\\Docs\\report.xps"},
       u"E:\\Images",
       u"jpeg",
       u"300",
       {{"D:\\Docs\\report.xps", "E:\\Images", "-f", "jpeg", "-d", "300", "-i", "图"}}},
      {{u"D:\\Docs\\a.xps", u"D:\\Docs\\b.xps", u"D:\\Docs\\c.xps"},
       u"E:\\Images",
       u"png",
       u"600",
       {{"D:\\Docs\\a.xps", "E:\\Images", "-f", "png", "-d", "600", "-i", "图1-"},
        {"D:\\Docs\\b.xps", "E:\\Images", "-f", "png", "-d", "600", "-i", "图2-"},
        {"D:\\Docs\\c.xps", "E:\\Images", "-f", "png", "-d", "600", "-i", "图3-"}}},
      {{u"C:\\图表\\Ω 报告.xps"},
       u"E:\\",
       u"gif",
       u"$96",
       {{"C:\\图表\\Ω 报告.xps", "E:\\", "-f", "gif", "-d", "150", "-i", "图"}}},
      {{u"D:\\a.xps"},
       u"F:\\输出 Ω",
       u"tiff big",
       u"abc",
       {{"D:\\a.xps", "F:\\输出 Ω", "-f", "tiff", "big", "-d", "300", "-i", "图"}}},
  };
  const std::string converter = Utf8(Utf16(Bin() + L"\\xps2img"));
  for (const Case& c : cases) {
    for (const std::wstring& name : FileNames(Bin(), L"record-*.txt")) {
      DeleteFileW((Bin() + L"\\" + name).c_str());
    }
    FakeForm form;
    form.items = c.sources;
    form.format = c.format;
    form.resolution = c.resolution;
    ScriptedDesktop desktop(c.folder, ToolExecutable());
    ConvertSources(form, desktop);

    const std::u16string programFolder = ProgramFolder(ToolExecutable(), PathStyle::Windows);
    std::vector<std::u16string> commands;
    for (std::size_t i = 0; i < c.sources.size(); ++i) {
      const ConversionJob job{programFolder,
                              c.sources[i],
                              c.folder,
                              c.format,
                              ReadResolution(c.resolution),
                              static_cast<int>(i),
                              static_cast<int>(c.sources.size())};
      const ProgramCommand command = BuildConverterCommand(job, PathStyle::Windows);
      commands.push_back(WindowsCommandLine(command.program, command.arguments));
    }
    std::vector<std::string> expectedCommands;
    for (const std::u16string& command : commands) expectedCommands.push_back(Utf8(command));
    const auto records = AwaitRecords(Bin(), expectedCommands);
    EXPECT_EQ(records.size(), commands.size()) << "one start per source, no more";
    for (std::size_t i = 0; i < commands.size(); ++i) {
      const auto found = records.find(expectedCommands[i]);
      ASSERT_NE(found, records.end()) << expectedCommands[i];
      std::vector<std::string> expected = {converter};
      expected.insert(expected.end(), c.expectedTails[i].begin(), c.expectedTails[i].end());
      EXPECT_EQ(found->second.arguments, expected);
      // A converter that reads its command line as ANSI text gets what WinExec would give it.
      EXPECT_EQ(found->second.ansiHex, AnsiHex(commands[i]));
    }
    EXPECT_EQ(form.outputDirectory, c.folder);
  }
}

TEST_F(ConverterStart, AMissingConverterIsPassedOverSilently) {
  Win32Desktop desktop(nullptr, nullptr);
  EXPECT_NO_THROW(desktop.StartProcess(Utf16(tool_ / L"nowhere\\xps2img"),
                                       {{ProgramArgument::Kind::Whole, u"x"}}));
  EXPECT_TRUE(desktop.ExecutablePath().ends_with(u"\\win32_tests.exe"));
}

// Windows' own CommandLineToArgvW gives back the program and every argument of each converter
// command exactly, the format as its words.
TEST(WindowsCommandLine, SplitsBackIntoTheConvertersArguments) {
  for (const ConversionJob& job : AwkwardJobs()) {
    const ProgramCommand command = BuildConverterCommand(job, PathStyle::Windows);
    const std::wstring line = Wide(WindowsCommandLine(command.program, command.arguments));
    int count = 0;
    wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::u16string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Utf16(split[i]));
    LocalFree(split);
    std::vector<std::u16string> expected = {command.program};
    for (const std::u16string& argument : ArgumentList(command.arguments)) {
      expected.push_back(argument);
    }
    EXPECT_EQ(arguments, expected) << Utf8(Utf16(line));
  }
}

}  // namespace
