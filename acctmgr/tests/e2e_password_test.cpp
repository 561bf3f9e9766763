// The real acctmgr.exe with encoded passwords: the product's registry keys,
// the search for the toolkit and the stand-in toolkit (vqmk.dll) and bridge
// (whbx332.dll) of the x86 tree, which trace what they are asked.
//
// The tests write the product's keys (as the 32-bit program sees them) and
// put back what was there; they run one after another in this one program.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "e2e_support.h"
#include "wt/owned.h"
#include "wt/syserror.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace {

const std::wstring kProduct = L"SOFTWARE\\TEV Works Inc.\\The TEV System";
const std::wstring kCurrent = kProduct + L"\\CurrentVersion";
const std::wstring kSecret = L"-p{007300650063007200650074}";  // "secret" for the stand-in

using acctmgr_test::OnPipe;
std::string Closing(DWORD code) {
  return acctmgr_test::Closing(L"acctmgr", static_cast<int>(code));
}

// The key at path in the 32-bit view, made when missing (or only opened).
wt::OwnedKey Key(const std::wstring& path, bool create = true) {
  HKEY key = nullptr;
  const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
  if (create)
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access, nullptr, &key,
                    nullptr);
  else
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key);
  return wt::OwnedKey(::RegCloseKey, key);
}
void SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  RegSetValueExW(Key(path).get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
void DeleteKey(const std::wstring& path) {
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
    const std::wstring name = data.cFileName, child = path + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(child);
    else
      DeleteFileW(child.c_str());
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(path.c_str());
}

// A temporary folder and an installation of the product in it, registered
// under a version text of its own. The version keys are made under
// "<unique>" while CurrentVersion says "<unique>.5.1": found by the retry.
class Toolkit : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    dir_ = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + wttest::UniqueName(L"acctmgr_vq");
    root_ = dir_ + L"\\root";
    for (const auto& sub : {L"", L"\\root", L"\\root\\core", L"\\root\\core\\tevext", L"\\vqmk",
                            L"\\nb", L"\\prog", L"\\prog\\core", L"\\prog\\core\\tevext"}) {
      CreateDirectoryW((dir_ + sub).c_str(), nullptr);
    }
    for (const auto& path : {kProduct.substr(0, 23), kProduct, kCurrent})
      existed_.push_back(!!Key(path, false));
    BYTE value[4096];
    DWORD bytes = sizeof value;
    if (!RegQueryValueExW(Key(kCurrent, false).get(), L"CurrentVersion", nullptr, &savedType_,
                          value, &bytes)) {
      saved_.emplace(value, value + bytes);
    }
    version_ = wttest::UniqueName(L"wt");
    Register(version_ + L".5.1", root_);
    opt_.setEnv[L"VQSTANDIN_TRACE"] = dir_ + L"\\trace.txt";
    opt_.unsetEnv = {L"VQMK",        L"VQPATH", L"DEF_VQPATH", L"VQPATHIA32",    L"PRE_VQPATH",
                     L"POST_VQPATH", L"WUSEIS", L"VQDEBUG",    L"VQSTANDIN_FAIL"};
  }
  void TearDown() override {
    DeleteKey(kProduct + L"\\" + version_);
    if (saved_) {
      RegSetValueExW(Key(kCurrent).get(), L"CurrentVersion", 0, savedType_, saved_->data(),
                     static_cast<DWORD>(saved_->size()));
    }
    const std::wstring keys[] = {kCurrent, kProduct, kProduct.substr(0, 23)};
    for (int i = 0; i < 3; ++i) {
      if (!existed_[2 - i]) DeleteKey(keys[i]);
    }
    RemoveTree(dir_);
  }

  // CurrentVersion says version; with a root, the key of the test's own
  // version holds it as DefaultRoot.
  void Register(const std::optional<std::wstring>& version,
                const std::optional<std::wstring>& root) {
    RegDeleteValueW(Key(kCurrent).get(), L"CurrentVersion");
    if (version) SetText(kCurrent, L"CurrentVersion", *version);
    DeleteKey(kProduct + L"\\" + version_);
    Key(kProduct + L"\\" + version_);
    if (root) SetText(kProduct + L"\\" + version_, L"DefaultRoot", *root);
  }

  void Place(const std::wstring& file, const std::wstring& folder,
             const wchar_t* as = L"vqmk.dll") {
    ASSERT_TRUE(
        CopyFileW(wttest::ArchProgram(L"x86", file).c_str(), (folder + L"\\" + as).c_str(), FALSE));
  }

  wttest::ProcessResult Run(const std::wstring& password = kSecret, bool ownCopy = false) {
    const std::wstring exe =
        ownCopy ? dir_ + L"\\prog\\acctmgr.exe" : wttest::ArchProgram(L"x86", L"acctmgr.exe");
    if (ownCopy) CopyFileW(wttest::ArchProgram(L"x86", L"acctmgr.exe").c_str(), exe.c_str(), FALSE);
    return wttest::RunProcess(
        exe, wttest::JoinCommandLine({L"acctmgr", L"-cupw", L"-ubob@corp", password}), opt_);
  }

  std::string Trace() {
    HANDLE file = CreateFileW((dir_ + L"\\trace.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[8192];
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE)
      ReadFile(file, buffer, sizeof buffer, &read, nullptr), CloseHandle(file);
    DeleteFileW((dir_ + L"\\trace.txt").c_str());
    return std::string(buffer, read);
  }

  std::string Using() { return OnPipe(L"Using TEV from " + root_ + L"\\core\\tevext\r\n"); }
  std::string Boot(const std::wstring& list, int resolver = 0) {
    return wttest::Narrow(L"setinstallpath []\nboot vqmk.dll record ok, usage table ok, resolver " +
                          std::to_wstring(resolver) + L", VQ_PATHLIST [" + list +
                          L"]\npool Global Pool\n");
  }

  std::wstring dir_, root_, version_;
  std::vector<bool> existed_;
  std::optional<std::vector<BYTE>> saved_;
  DWORD savedType_ = REG_SZ;
  wttest::ProcessOptions opt_;
};

const std::string kDecoded = "decode 26 characters\nfree\ndestroy, blocks held 0\nshutdown\n";
// Wine accepts any logon; on Windows the made-up account is refused.
DWORD LogonCode() { return wttest::RunningUnderWine() ? 0 : 215; }

TEST_F(Toolkit, DecodesThroughVqmkTheInstallationAndTheProgramsOwnFolder) {
  // Empty elements are skipped; a library without the boot entry is passed over.
  Place(L"vqmk_noboot.dll", dir_ + L"\\nb");
  Place(L"vqmk.dll", dir_ + L"\\vqmk");
  opt_.setEnv[L"VQMK"] = L";" + dir_ + L"\\nb;;" + dir_ + L"\\vqmk;";
  auto r = Run();
  EXPECT_EQ(r.exitCode, LogonCode()) << r.err;
  EXPECT_EQ(r.err.substr(0, Using().size()), Using());
  EXPECT_EQ(Trace(), "setinstallpath []\n" + Boot(L"") + kDecoded);

  // An old VQPATH comes first.
  Place(L"vqmk.dll", root_ + L"\\core\\tevext");
  const std::wstring vqpath = L";;" + dir_ + L"\\none;" + root_ + L"\\core\\tevext";
  opt_.setEnv = {{L"VQPATH", L";;" + dir_ + L"\\none"},
                 {L"VQSTANDIN_TRACE", dir_ + L"\\trace.txt"}};
  r = Run();
  EXPECT_EQ(r.exitCode, LogonCode()) << r.err;
  EXPECT_EQ(r.err.substr(0, vqpath.size() + 18), OnPipe(L"Using TEV from " + vqpath + L"\r\n"));
  EXPECT_EQ(Trace(), Boot(vqpath + L";") + kDecoded);

  DeleteFileW((root_ + L"\\core\\tevext\\vqmk.dll").c_str());
  Place(L"vqmk.dll", dir_ + L"\\prog\\core\\tevext");
  opt_.setEnv.erase(L"VQPATH");
  r = Run(kSecret, true);
  EXPECT_EQ(r.exitCode, LogonCode()) << r.err;
  EXPECT_EQ(Trace(), Boot(dir_ + L"\\prog\\core\\tevext") + kDecoded);
}

TEST_F(Toolkit, ALibraryWithoutTheBootEntryIsNamedWhenItIsTheLastCandidate) {
  Place(L"vqmk_noboot.dll", dir_ + L"\\prog\\core\\tevext");
  auto r = Run(kSecret, true);
  EXPECT_EQ(r.exitCode, 200u);
  const std::string head = Using() + "ERROR: -1073610702 Could not load TEV VQ due to '";
  const std::string tail =
      OnPipe(L":  " + dir_ + L"\\prog\\core\\tevext\\vqmk.dll'!\r\n") + Closing(200);
  ASSERT_GT(r.err.size(), head.size() + tail.size());  // the system's text between them
  EXPECT_EQ(r.err.substr(0, head.size()), head);
  EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
  EXPECT_EQ(Trace(), "setinstallpath []\n");
}

TEST_F(Toolkit, BootPoolAndDecodeFailuresEndTheCheckBeforeTheLogon) {
  Place(L"vqmk.dll", dir_ + L"\\vqmk");
  opt_.setEnv[L"VQMK"] = dir_ + L"\\vqmk";
  const std::string boot = Boot(L"");
  const struct {
    const wchar_t* fail;
    const wchar_t* password;
    DWORD code;
    std::wstring line;
    std::string trace;
  } cases[] = {
      {L"boot", kSecret.c_str(), 200,
       L"-1073610702 Could not load TEV VQ due to 'stand-in toolkit: boot refused'!",
       boot.substr(0, boot.find("pool"))},
      {L"pool", kSecret.c_str(), 201, L"-1073610701 VQ Memory Pool creation failed!",
       boot + "shutdown\n"},
      {L"", L"-p{00zz}", 202, L"-1073610700 VQ Password decode failed!",
       boot + "decode 6 characters\ndestroy, blocks held 0\nshutdown\n"},
      // The block a failed decode leaves is freed, not wiped with its length.
      {L"decode", kSecret.c_str(), 202, L"-1073610700 VQ Password decode failed!",
       boot + "decode 26 characters\nfree\ndestroy, blocks held 0\nshutdown\n"},
  };
  for (const auto& c : cases) {
    opt_.setEnv[L"VQSTANDIN_FAIL"] = c.fail;
    auto r = Run(c.password);
    EXPECT_EQ(r.exitCode, c.code);
    EXPECT_EQ(r.err, Using() + OnPipe(L"ERROR: " + c.line + L"\r\n") + Closing(c.code));
    EXPECT_EQ(Trace(), c.trace);
  }
}

TEST_F(Toolkit, InstallationLookupFailures) {
  const std::wstring missing = wt::SystemMessageW(ERROR_FILE_NOT_FOUND);
  const struct {
    DWORD code;
    std::optional<std::wstring> version, root;
    std::wstring line;
  } cases[] = {
      {210, std::nullopt, std::nullopt,
       L"ERROR: 2 " + missing},  // (made only where no product is installed)
      {211, std::nullopt, root_, L"ERROR: 2 " + missing},
      {212, version_ + L"x.3", root_, L"ERROR: 2 " + version_ + L"x.3 : " + missing},
      {213, version_, std::nullopt, L""},
  };
  for (const auto& c : cases) {
    Register(c.version, c.root);
    if (c.code == 210) {
      if (existed_[2]) continue;
      DeleteKey(kCurrent);
    }
    auto r = Run();
    EXPECT_EQ(r.exitCode, c.code);
    EXPECT_EQ(r.err, OnPipe(c.line) + Closing(c.code));
  }
}

TEST_F(Toolkit, AnEmptyVersionNamesTheProductKeyItself) {
  BYTE value[8];
  DWORD bytes = sizeof value;
  if (RegQueryValueExW(Key(kProduct).get(), L"DefaultRoot", nullptr, nullptr, value, &bytes) !=
      ERROR_FILE_NOT_FOUND) {
    GTEST_SKIP() << "the product key holds a DefaultRoot of its own";
  }
  Register(L"", std::nullopt);
  SetText(kProduct, L"DefaultRoot", root_);
  const auto r = Run();  // no toolkit anywhere: 200 after the lookup
  RegDeleteValueW(Key(kProduct).get(), L"DefaultRoot");
  EXPECT_EQ(r.exitCode, 200u) << r.err;
  EXPECT_EQ(r.err.substr(0, Using().size()), Using());
}

TEST_F(Toolkit, TheBridgeServesOnlyAWuseisOfThreeCharacters) {
  Place(L"vqmk.dll", root_ + L"\\core\\tevext");
  Place(L"whbx332.dll", dir_ + L"\\prog", L"whbx332.dll");
  const std::wstring candidate = root_ + L"\\core\\tevext\\vqmk.";
  for (const wchar_t* flag : {L"abc", L"ab", L"abcd"}) {
    opt_.setEnv[L"WUSEIS"] = flag;
    auto r = Run(kSecret, true);
    EXPECT_EQ(r.exitCode, LogonCode()) << r.err;
    const std::string bridge = wttest::Narrow(
        L"hbxinit " + dir_ +
        L"\\prog\\whbx332.dll\nbridge /tevgen;/u, VQREPL /tst;/tev, work 4096\nmap " + candidate +
        L"dll\nmap " + candidate + L"pdb\nsetinstallpath []\nquery " + candidate +
        L"dll\nrelease\n");
    const std::string boot = Boot(root_ + L"\\core\\tevext;", 316);
    EXPECT_EQ(Trace(), std::wstring(flag).size() == 3
                           ? bridge + boot.substr(boot.find("boot")) + kDecoded
                           : Boot(root_ + L"\\core\\tevext;") + kDecoded);
  }
}

TEST_F(Toolkit, ABridgeLeftInTheCurrentFolderLosesToTheWindowsFolder) {
  // The program's folder has none; the Windows folder comes before the
  // current folder once the search is safe.
  wchar_t folder[MAX_PATH + 1];
  const std::wstring genuine =
      std::wstring(folder, GetWindowsDirectoryW(folder, MAX_PATH + 1)) + L"\\whbx332.dll";
  CreateDirectoryW((dir_ + L"\\cwd").c_str(), nullptr);
  Place(L"whbx332.dll", dir_ + L"\\cwd", L"whbx332.dll");
  Place(L"vqmk.dll", root_ + L"\\core\\tevext");
  opt_.setEnv[L"WUSEIS"] = L"abc";
  opt_.workingDirectory = dir_ + L"\\cwd";
  ASSERT_TRUE(
      CopyFileW(wttest::ArchProgram(L"x86", L"whbx332.dll").c_str(), genuine.c_str(), FALSE));
  auto r = Run(kSecret, true);
  DeleteFileW(genuine.c_str());
  EXPECT_EQ(r.exitCode, LogonCode()) << r.err;
  const std::string trace = Trace();
  EXPECT_STRCASEEQ(trace.substr(0, trace.find('\n')).c_str(),
                   wttest::Narrow(L"hbxinit " + genuine).c_str());
}

}  // namespace
