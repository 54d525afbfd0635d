// salvora.exe as a user meets it, under Wine: the agreement, the main window
// with card images as disks, a whole recovery, the checks before one, a scan
// in progress with the settings read-only and Exit ending it, the companion
// buttons and the about box; Enter changes nothing. Pictures of the windows are saved in
// build/windows/screenshots.
#include <windows.h>
#include <gtest/gtest.h>
// After windows.h, which they need.
#include <objbase.h>
#include <commctrl.h>
#include <dbt.h>
#include <shlobj.h>
// After objbase.h.
#include <gdiplus.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "program_driver.h"
#include "recovery_app/core/about_notice.h"
#include "recovery_app/win/resource.h"
#include "remote_controls.h"

namespace salvora::gui_test {
namespace {

namespace fs = std::filesystem;

const std::wstring kMainTitle = L"Salvora - version 1.4";
const std::wstring kAgreementTitle = L"End-User License Agreement";
const std::wstring kLicenseKey = L"Software\\Korvell\\Salvora";
// Under Wine a window program's first start takes seconds.
constexpr int kStartMs = 30000;
constexpr int kAnswerMs = 10000;
constexpr int kCardFileCount = 11;
constexpr int kBigImagePhotos = 10;
// Large enough that the scan is still running when the test is done looking.
constexpr uint64_t kBigImageBytes = uint64_t{32} << 30;
constexpr int kBrowserStatus = 0x3743;

std::wstring wide(const char* text) {
    std::wstring result;
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    result.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), length);
    return result;
}

std::wstring windowsPath(const char* path) {
    std::wstring result = wide(path);
    for (wchar_t& c : result) {
        if (c == L'/')
            c = L'\\';
    }
    return result;
}

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> cardFiles() {
    std::vector<std::string> files;
    std::stringstream list(SALVORA_CARD_FILES);
    for (std::string file; std::getline(list, file, '|');)
        files.push_back(file);
    return files;
}

fs::path dataFile(const std::string& relative) {
    return fs::path(windowsPath(SALVORA_GUI_DATA_DIR)) / relative;
}

std::wstring recoveredName(int number, const std::string& source) {
    wchar_t name[32];
    swprintf(name, 32, L"KV%05d", number);
    return name + fs::path(source).extension().wstring();
}

// ---------------------------------------------------------------- the test's world

struct World {
    fs::path work;       // the test's folder in the Wine prefix
    fs::path card;       // the FAT16 card image made by the build
    fs::path mounted;    // an image said to be mounted as C:
    fs::path big;        // a very large image whose scan runs long
    fs::path recovered;  // a destination chosen in the settings
    fs::path unicode;    // a folder whose name is not Latin-1
    fs::path screenshots;
    fs::path defaultDestination{L"C:\\Saved Files"};
};
World gWorld;

// A sparse image: ten photos on 64 KiB blocks at its start, zeros after.
void makeBigImage(const fs::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const auto files = cardFiles();
    for (int i = 0; i < kBigImagePhotos; ++i) {
        const std::vector<uint8_t> photo = readBytes(dataFile(files[static_cast<size_t>(i % 5)]));
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(i) * 65536;
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        DWORD written = 0;
        WriteFile(file, photo.data(), static_cast<DWORD>(photo.size()), &written, nullptr);
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(kBigImageBytes);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

// Wine has no font with Chinese characters of its own. Linked to the dialog
// fonts, the one of the test stage's packages (fonts-wqy-microhei) shows the
// agreement's Chinese text; it also gives Wine's dialog font the metrics of
// the one Windows uses, so the windows are laid out as on Windows.
void linkChineseFont() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink", 0, nullptr,
                        0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const wchar_t link[] = L"wqy-microhei.ttc,WenQuanYi Micro Hei\0";
    for (const wchar_t* font : {L"Tahoma", L"MS Shell Dlg", L"System"}) {
        RegSetValueExW(key, font, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(link), sizeof link);
    }
    RegCloseKey(key);
}

class WindowTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        linkChineseFont();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplus_, &input, nullptr);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        gWorld.work = fs::path(temp) / L"salvora-window-test";
        std::error_code ignored;
        fs::remove_all(gWorld.work, ignored);
        fs::create_directories(gWorld.work);
        gWorld.card = windowsPath(SALVORA_CARD_IMAGE);
        gWorld.mounted = gWorld.work / L"mounted.img";
        std::ofstream(gWorld.mounted, std::ios::binary) << std::string(1 << 20, '\0');
        gWorld.big = gWorld.work / L"big.img";
        makeBigImage(gWorld.big);
        // Accented, as the settings allow: the engine must get it in UTF-8.
        gWorld.recovered = gWorld.work / L"Photos r\u00E9cup\u00E9r\u00E9es";
        fs::create_directories(gWorld.recovered);
        gWorld.unicode = gWorld.work / L"\u5361\u7247";
        fs::create_directories(gWorld.unicode);
        gWorld.screenshots = windowsPath(SALVORA_SCREENSHOT_DIR);
        fs::create_directories(gWorld.screenshots);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(gWorld.work, ignored);
        Gdiplus::GdiplusShutdown(gdiplus_);
        CoUninitialize();
    }

  private:
    ULONG_PTR gdiplus_ = 0;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WindowTestEnvironment);

void forgetAgreement() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kLicenseKey.c_str());
}

bool licenseKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kLicenseKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void acceptAgreementBeforehand() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kLicenseKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(key, L"License", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
}

std::wstring quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

std::wstring imageArguments() {
    return L"--image " + quoted(gWorld.card) + L" --image " + quoted(gWorld.mounted) +
           L" --mounted C: --image " + quoted(gWorld.big);
}

void screenshot(HWND window, const wchar_t* name) {
    Sleep(400);  // let the window finish painting
    EXPECT_TRUE(saveScreenshot(window, (gWorld.screenshots / name).wstring())) << "screenshot " << name;
}

void emptyFolder(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        fs::remove(entry.path(), ignored);
}

std::vector<std::wstring> fileNamesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// ---------------------------------------------------------------- the agreement

TEST(Agreement, RefusingItEndsTheProgramAndWritesNothing) {
    forgetAgreement();
    Program salvora(windowsPath(SALVORA_EXE), imageArguments(), gWorld.work.wstring());
    ASSERT_TRUE(salvora.started()) << "error " << salvora.startError();
    const HWND agreement = salvora.waitForDialog(kAgreementTitle, kStartMs);
    ASSERT_TRUE(agreement) << "the agreement never appeared";
    EXPECT_TRUE(salvora.waitForDialog(kMainTitle, 0) == nullptr)
        << "the main window came before the agreement";
    click(agreement, IDCANCEL);  // I Disagree
    ASSERT_TRUE(salvora.waitForExit(kAnswerMs)) << "the program did not end";
    EXPECT_EQ(salvora.exitCode(), 0u);
    EXPECT_FALSE(licenseKeyExists()) << "refusing wrote to the registry";
}

TEST(Agreement, AcceptingItIsRememberedAndItIsNotShownAgain) {
    forgetAgreement();
    {
        Program salvora(windowsPath(SALVORA_EXE), imageArguments(), gWorld.work.wstring());
        const HWND agreement = salvora.waitForDialog(kAgreementTitle, kStartMs);
        ASSERT_TRUE(agreement);
        const std::wstring text = itemText(agreement, IDC_AGREEMENT_TEXT);
        EXPECT_EQ(text.rfind(L"SALVORA END-USER LICENSE AGREEMENT", 0), 0u);
        // The Chinese title, read from Big5 whatever Wine's own code page is.
        EXPECT_NE(text.find(L"Salvora \u7D42\u7AEF\u4F7F\u7528\u8005\u6388\u6B0A\u5408\u7D04"),
                  std::wstring::npos);
        screenshot(agreement, L"agreement.png");
        PostMessageW(GetDlgItem(agreement, IDC_AGREEMENT_TEXT), WM_VSCROLL, SB_BOTTOM, 0);
        screenshot(agreement, L"agreement-end.png");
        click(agreement, IDOK);  // I Agree
        const HWND main = salvora.waitForDialog(kMainTitle, kStartMs);
        ASSERT_TRUE(main) << "no main window after accepting";
        DWORD value = 0, type = 0, size = sizeof value;
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kLicenseKey.c_str(), L"License", RRF_RT_ANY, &type, &value,
                               &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value, 1u);
        answer(main, IDCANCEL);  // Exit
        ASSERT_TRUE(salvora.waitForExit(kAnswerMs));
    }
    Program again(windowsPath(SALVORA_EXE), imageArguments(), gWorld.work.wstring());
    bool agreementSeen = false;
    ASSERT_TRUE(waitFor(
        [&] {
            agreementSeen = agreementSeen || again.waitForDialog(kAgreementTitle, 0) != nullptr;
            return again.waitForDialog(kMainTitle, 0) != nullptr;
        },
        kStartMs));
    EXPECT_FALSE(agreementSeen) << "the agreement was shown again";
    answer(again.waitForDialog(kMainTitle, 0), IDCANCEL);
    EXPECT_TRUE(again.waitForExit(kAnswerMs));
}

// ---------------------------------------------------------------- the main window

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        acceptAgreementBeforehand();
        salvora =
            std::make_unique<Program>(windowsPath(SALVORA_EXE), imageArguments(), gWorld.work.wstring());
        ASSERT_TRUE(salvora->started()) << "error " << salvora->startError();
        main = salvora->waitForDialog(kMainTitle, kStartMs);
        ASSERT_TRUE(main) << "the main window never appeared";
        disks = std::make_unique<RemoteListView>(main, IDC_DISK_LIST, salvora->id());
        partitions = std::make_unique<RemoteListView>(main, IDC_PARTITION_LIST, salvora->id());
    }
    void TearDown() override {
        if (salvora && salvora->running()) {
            for (HWND dialog : salvora->dialogs()) {
                if (dialog != main)
                    answer(dialog, IDCANCEL);
            }
            if (main)
                answer(main, IDCANCEL);
            salvora->waitForExit(kAnswerMs);
        }
        disks.reset();
        partitions.reset();
        salvora.reset();
    }

    // Chooses the disk listed as `name` and its first partition, as a click would.
    void chooseDiskAndPartition(const std::wstring& name) {
        const int row = disks->findRow(name);
        ASSERT_GE(row, 0) << "no disk row " << std::string(name.begin(), name.end());
        ASSERT_TRUE(disks->select(row));
        ASSERT_TRUE(waitFor([&] { return partitions->rowCount() > 0; }, kAnswerMs)) << "no partitions listed";
        ASSERT_TRUE(partitions->select(0));
    }

    // A message box of the program titled `title`, its text, closed with OK.
    std::wstring answerMessage(const std::wstring& title, int waitMs = kAnswerMs) {
        const HWND box = salvora->waitForDialog(title, waitMs);
        if (!box)
            return L"(no message box titled " + title + L")";
        const std::wstring text = messageBoxText(box);
        answer(box);
        waitFor([&] { return !IsWindow(box); }, kAnswerMs);
        return text;
    }

    HWND openSettings() {
        click(main, IDC_SETTINGS);
        return salvora->waitForDialog(L"Settings", kAnswerMs);
    }

    // Chooses `folder` in the settings' folder browser. False when the
    // browser never took the folder.
    bool chooseFolder(HWND settings, const fs::path& folder) {
        // Wine's browser, busy setting itself up, now and then ignores the
        // first selection it is asked for; a user would simply click again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            click(settings, IDC_CHOOSE);
            const HWND browser = salvora->waitForDialogWith(kBrowserStatus, kAnswerMs);
            if (!browser)
                return false;
            Sleep(300);
            sendWithRemoteText(browser, salvora->id(), BFFM_SETSELECTIONW, TRUE, folder.wstring());
            const std::wstring shown = folder.wstring().substr(0, 35);
            const bool selected = waitFor(
                [&] { return windowText(GetDlgItem(browser, kBrowserStatus)).rfind(shown, 0) == 0; }, 3000);
            answer(browser, selected ? IDOK : IDCANCEL);
            waitFor([&] { return !IsWindow(browser); }, kAnswerMs);
            if (selected)
                return true;
        }
        return false;
    }

    std::unique_ptr<Program> salvora;
    HWND main = nullptr;
    std::unique_ptr<RemoteListView> disks;
    std::unique_ptr<RemoteListView> partitions;
};

TEST_F(MainWindow, ListsTheImagesAsDisksAfterTheDrivesWithTheirPartitions) {
    const int card = disks->findRow(L"card.img");
    ASSERT_GE(card, 0);
    EXPECT_EQ(disks->cell(card, 1), L"16.00  MB");
    EXPECT_EQ(disks->findRow(L"mounted.img"), card + 1);
    EXPECT_EQ(disks->findRow(L"big.img"), card + 2);
    EXPECT_EQ(disks->cell(card + 2, 1), L"32.00  GB");
    ASSERT_TRUE(disks->select(card));
    ASSERT_TRUE(waitFor([&] { return partitions->rowCount() == 1; }, kAnswerMs));
    EXPECT_EQ(partitions->rows(3),
              (std::vector<std::vector<std::wstring>>{{L"KORVELL_CAM", L"FAT16", L"15.00  MB"}}));
    ASSERT_TRUE(partitions->select(0));
    screenshot(main, L"main-idle.png");

    // AutoPlay is cancelled while the window is in front.
    DWORD_PTR answered = 0;
    SendMessageTimeoutW(main, RegisterWindowMessageW(L"QueryCancelAutoPlay"), 0, 0, SMTO_ABORTIFHUNG,
                        kAnswerMs, &answered);
    EXPECT_EQ(answered, 1u);
    // A device change lists the disks again; the user picks the disk anew.
    SendMessageTimeoutW(main, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG, kAnswerMs,
                        &answered);
    EXPECT_EQ(partitions->rowCount(), 0);
    EXPECT_EQ(disks->findRow(L"big.img"), card + 2);
}

TEST_F(MainWindow, RecoversEveryFileOfTheCardByteIdenticalIntoTheChosenFolder) {
    emptyFolder(gWorld.recovered);
    const HWND settings = openSettings();
    ASSERT_TRUE(settings);
    ASSERT_TRUE(chooseFolder(settings, gWorld.recovered)) << "the folder browser never took the folder";
    EXPECT_EQ(itemText(settings, IDC_SAVED_PATH), gWorld.recovered.wstring() + L"\\");
    click(settings, IDOK);  // Save
    ASSERT_TRUE(waitFor([&] { return !IsWindow(settings); }, kAnswerMs));

    chooseDiskAndPartition(L"card.img");
    click(main, IDC_RECOVER);
    EXPECT_EQ(answerMessage(L"Salvora", 60000), L"Recovery Complete - 11 Files Recovered.");
    EXPECT_EQ(itemText(main, IDC_FILE_COUNT), L"11");

    const auto sources = cardFiles();
    ASSERT_EQ(sources.size(), static_cast<size_t>(kCardFileCount));
    std::vector<std::wstring> expected;
    for (int i = 0; i < kCardFileCount; ++i)
        expected.push_back(recoveredName(i, sources[static_cast<size_t>(i)]));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(fileNamesIn(gWorld.recovered), expected);
    for (int i = 0; i < kCardFileCount; ++i) {
        const std::string& source = sources[static_cast<size_t>(i)];
        EXPECT_EQ(readBytes(gWorld.recovered / recoveredName(i, source)), readBytes(dataFile(source)))
            << source;
    }
    EXPECT_TRUE(itemEnabled(main, IDC_RECOVER)) << "the window is idle again";
}

TEST_F(MainWindow, ChecksBeforeARecoveryShowTheirMessages) {
    click(main, IDC_RECOVER);
    EXPECT_EQ(answerMessage(L"WARNNING"), L"Please Select a Partition...");

    // An image mounted as C: holds the destination C:\Saved Files\.
    chooseDiskAndPartition(L"mounted.img");
    click(main, IDC_RECOVER);
    const HWND refusal = salvora->waitForDialogWith(IDC_ERROR_TEXT, kAnswerMs);
    ASSERT_TRUE(refusal) << "no refusal of the destination";
    EXPECT_EQ(
        itemText(refusal, IDC_ERROR_TEXT),
        L"Your Saved Path(C:\\Saved Files\\) is identical to the recovery disk(mounted.img),this will render "
        L"your lost files unrecoverable.\nPlease select another saved location under 'Settings' menu.");
    screenshot(refusal, L"refusal.png");
    click(refusal, IDOK);  // Back
    ASSERT_TRUE(waitFor([&] { return !IsWindow(refusal); }, kAnswerMs));

    // A destination that cannot be made is reported before anything starts.
    chooseDiskAndPartition(L"card.img");
    std::error_code ignored;
    fs::remove_all(gWorld.defaultDestination, ignored);
    std::ofstream(gWorld.defaultDestination) << "a file where the folder should be";
    click(main, IDC_RECOVER);
    const std::wstring refused = answerMessage(L"Salvora");
    fs::remove(gWorld.defaultDestination, ignored);
    EXPECT_NE(refused.find(L"C:\\Saved Files"), std::wstring::npos)
        << std::string(refused.begin(), refused.end());
    EXPECT_EQ(refused.find(L"Recovery Complete"), std::wstring::npos);
    EXPECT_TRUE(itemEnabled(main, IDC_RECOVER)) << "a scan started";

    const HWND settings = openSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(itemText(settings, IDC_SAVED_PATH), L"C:\\Saved Files\\");
    for (const int id : {IDC_BMP, IDC_JPEG, IDC_TIFF, IDC_RAF, IDC_RAW, IDC_ORF, IDC_OFFICE, IDC_CRW, IDC_X3F,
                         IDC_MRW, IDC_RIFF, IDC_MP3, IDC_PDF}) {
        EXPECT_TRUE(itemVisible(settings, id) && itemChecked(settings, id)) << id;
    }
    for (const int id : {IDC_INDD, IDC_MPG, IDC_M2TS, IDC_MOV, IDC_ZIP})
        EXPECT_FALSE(itemVisible(settings, id)) << id;
    screenshot(settings, L"settings.png");

    // A folder named outside Latin-1 is refused and the destination stays.
    ASSERT_TRUE(chooseFolder(settings, gWorld.unicode));
    EXPECT_EQ(answerMessage(L"WARNING"), L"Please use ONLY ENGLISH for Path/Folder Name !!!");
    EXPECT_EQ(itemText(settings, IDC_SAVED_PATH), L"C:\\Saved Files\\");

    click(settings, IDC_DESELECT_ALL);
    ASSERT_TRUE(waitFor([&] { return !itemChecked(settings, IDC_JPEG); }, kAnswerMs));
    click(settings, IDOK);  // Save
    EXPECT_EQ(answerMessage(L"WARNING"), L"Please select at least one file type.");
    EXPECT_TRUE(IsWindow(settings)) << "the settings stay open";
    click(settings, IDCANCEL);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(settings); }, kAnswerMs));
}

TEST_F(MainWindow, DuringAScanTheInputsAreLockedAndExitEndsTheProgram) {
    emptyFolder(gWorld.defaultDestination);
    chooseDiskAndPartition(L"big.img");
    click(main, IDC_RECOVER);
    const HWND bar = GetDlgItem(main, IDC_PROGRESS);
    DWORD_PTR position = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position);
            return position > 0 && itemText(main, IDC_FILE_COUNT) == L"10" &&
                   itemText(main, IDC_ELAPSED_TIME) != L"0 Hr : 0 Min : 0 Sec";
        },
        30000))
        << "the scan showed no progress";
    EXPECT_TRUE(itemVisible(main, IDC_ELAPSED_TIME));
    EXPECT_FALSE(itemVisible(main, IDC_DETECTING)) << "the bar shows the progress instead";
    for (const int id :
         {IDC_RECOVER, IDC_DISK_LIST, IDC_PARTITION_LIST, IDC_FORMAT_TOOL, IDC_PROTECTION_TOOL}) {
        EXPECT_FALSE(itemEnabled(main, id)) << id;
    }
    for (const int id : {IDC_SETTINGS, IDC_ABOUT, IDCANCEL})
        EXPECT_TRUE(itemEnabled(main, id)) << id;
    screenshot(main, L"main-scanning.png");

    // A device change while the scan reads a disk changes nothing.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG, kAnswerMs,
                        &ignored);
    EXPECT_EQ(partitions->rowCount(), 1) << "the lists were rebuilt under the running scan";

    const HWND settings = openSettings();
    ASSERT_TRUE(settings);
    for (const int id : {IDC_BMP, IDC_JPEG, IDC_OFFICE, IDC_PDF, IDC_CHOOSE, IDC_DESELECT_ALL, IDOK}) {
        EXPECT_FALSE(itemEnabled(settings, id)) << id;
    }
    EXPECT_TRUE(itemChecked(settings, IDC_JPEG)) << "the current values are shown";
    EXPECT_TRUE(itemEnabled(settings, IDCANCEL));
    screenshot(settings, L"settings-during-scan.png");
    answer(settings, IDOK);  // Enter
    Sleep(300);
    EXPECT_TRUE(IsWindow(settings)) << "Enter saved the settings during the scan";
    click(settings, IDCANCEL);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(settings); }, kAnswerMs));
    ASSERT_TRUE(salvora->running()) << "the scan of 32 GiB ended already";

    // Regression: Enter on the main window ended the program, scan and all.
    SetForegroundWindow(main);
    PostMessageW(main, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(main, WM_KEYUP, VK_RETURN, 0);
    answer(main, IDOK);  // what the dialog makes of Enter
    Sleep(1000);
    EXPECT_TRUE(salvora->running() && IsWindow(main)) << "Enter ended the program during the scan";
    EXPECT_FALSE(itemEnabled(main, IDC_RECOVER)) << "the scan is still running";

    click(main, IDCANCEL);  // Exit
    ASSERT_TRUE(salvora->waitForExit(15000)) << "Exit did not end the program during the scan";
    // The photos saved stay; nothing half-written is left.
    std::vector<std::wstring> expected;
    for (int i = 0; i < kBigImagePhotos; ++i)
        expected.push_back(recoveredName(i, "photo.jpg"));
    EXPECT_EQ(fileNamesIn(gWorld.defaultDestination), expected);
    EXPECT_EQ(readBytes(gWorld.defaultDestination / recoveredName(0, "photo.jpg")),
              readBytes(dataFile(cardFiles()[0])));
}

TEST_F(MainWindow, CompanionButtonsSayWhatIsMissing) {
    click(main, IDC_FORMAT_TOOL);
    EXPECT_EQ(answerMessage(L"Error!"), L"Blankwise.exe does not exists");
    std::ofstream(gWorld.work / L"Blankwise.exe") << "not a program";
    click(main, IDC_FORMAT_TOOL);
    EXPECT_EQ(answerMessage(L"Error!"), L"Blankwise.exe requires Blankwisecore.dll to run");
    // Wine has no card reader of the maker: that is checked first.
    click(main, IDC_PROTECTION_TOOL);
    EXPECT_EQ(answerMessage(L"Error!"), L"This function requires the Korvell QX7R USB 3.0 card reader!");
    EXPECT_TRUE(IsWindowVisible(main));
    fs::remove(gWorld.work / L"Blankwise.exe");
}

TEST_F(MainWindow, TheFormatToolRunsWithTheWindowHiddenUntilItEnds) {
    fs::copy_file(windowsPath(SALVORA_COMPANION_STUB), gWorld.work / L"Blankwise.exe",
                  fs::copy_options::overwrite_existing);
    std::ofstream(gWorld.work / L"Blankwisecore.dll") << "library";
    const fs::path ran = gWorld.work / L"companion-ran.txt";
    fs::remove(ran);
    click(main, IDC_FORMAT_TOOL);
    EXPECT_TRUE(waitFor([&] { return !IsWindowVisible(main); }, kAnswerMs))
        << "the window stayed while the tool ran";
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(main) != FALSE; }, kAnswerMs))
        << "the window never came back";
    const std::vector<uint8_t> bytes = readBytes(ran);
    const std::wstring commandLine(reinterpret_cast<const wchar_t*>(bytes.data()),
                                   bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(commandLine, L" -start");
    EXPECT_EQ(disks->findRow(L"card.img"), disks->rowCount() - 3) << "the disks are listed again";
    fs::remove(gWorld.work / L"Blankwise.exe");
    fs::remove(gWorld.work / L"Blankwisecore.dll");
}

TEST_F(MainWindow, AboutBoxShowsTheVersionAndScrollsItsNotice) {
    click(main, IDC_ABOUT);
    const HWND about = salvora->waitForDialogWith(IDC_NOTICE_SCROLL, kAnswerMs);
    ASSERT_TRUE(about);
    EXPECT_EQ(itemText(about, IDC_VERSION_TEXT), L"Salvora Version : 1.4.0.0");
    EXPECT_EQ(itemText(about, IDC_NOTICE_1), wide(noticeLines()[0]));
    EXPECT_EQ(itemText(about, IDC_NOTICE_3), wide(noticeLines()[2]));
    screenshot(about, L"about.png");
    const HWND bar = GetDlgItem(about, IDC_NOTICE_SCROLL);
    PostMessageW(about, WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar));
    PostMessageW(about, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar));
    EXPECT_TRUE(waitFor([&] { return itemText(about, IDC_NOTICE_1) == wide(noticeLines()[11]); }, kAnswerMs));
    EXPECT_EQ(itemText(about, IDC_NOTICE_3), wide(noticeLines()[13]));
    click(about, IDOK);  // the picture closes the box
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }, kAnswerMs));
}

}  // namespace
}  // namespace salvora::gui_test
