#include "media/error_text.h"

#include <mutex>

namespace salvora {
namespace {
std::mutex& textMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& text() {
    static std::string value;
    return value;
}
}  // namespace

std::string lastErrorText() {
    std::lock_guard<std::mutex> lock(textMutex());
    return text();
}

void setLastErrorText(const std::string& value) {
    std::lock_guard<std::mutex> lock(textMutex());
    text() = value;
}

void clearLastErrorText() {
    setLastErrorText(std::string());
}

}  // namespace salvora
