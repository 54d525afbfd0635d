#include "simulated_cards.h"

#include <windows.h>

#include <atomic>

namespace salvora::lockwright::test {

namespace {

std::string narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
    result.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
    return result;
}

std::wstring freshFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"lockwright-gui-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

SimulatedCards::SimulatedCards()
    : folder_(freshFolder()), widePath_(folder_ + L"\\reader.state"), path_(narrow(widePath_)) {
    change([](cardsec::SimulatedReader&) {});
}

SimulatedCards::~SimulatedCards() {
    for (const wchar_t* suffix : {L"", L".lock", L".new"})
        DeleteFileW((widePath_ + suffix).c_str());
    RemoveDirectoryW(folder_.c_str());
}

bool SimulatedCards::change(const std::function<void(cardsec::SimulatedReader&)>& action) {
    cardsec::FileStore store(path_);
    return store.use(action);
}

cardsec::SimulatedReader SimulatedCards::now() {
    cardsec::SimulatedReader copy;
    change([&](cardsec::SimulatedReader& reader) { copy = reader; });
    return copy;
}

cardsec::SimSdCard sdCard(const std::string& password) {
    cardsec::SimSdCard card;
    card.password = password;
    return card;
}

cardsec::SimCfCard cfCard(const std::string& password) {
    cardsec::SimCfCard card;
    if (!password.empty())
        card.setUserPassword(password);
    return card;
}

}  // namespace salvora::lockwright::test
