#include "ContextTable.h"

#include <climits>
#include <cwchar>

#include "SettingsParser.h"
#include "LanguageId.h"
#include "TextFile.h"

int CopyCallerPath(const wchar_t* path, std::wstring& out) {
    if (!path) return 0;
    const size_t length = wcsnlen(path, MAX_PATH_LENGTH + 1);
    if (length == 0 || length > MAX_PATH_LENGTH) return 0;
    out.assign(path, length);
    return 1;
}

int ContextTable::Create() {
    std::lock_guard<CSrwLock> guard(m_lock);
    // Values are handed out once only, so a stale value can never reach a newer context.
    if (m_contexts.size() >= MAX_CONTEXTS || m_lastContext == INT_MAX) return 0;
    const int hContext = ++m_lastContext;
    m_contexts.emplace(hContext, Context());
    return hContext;
}

int ContextTable::Destroy(int hContext) {
    std::lock_guard<CSrwLock> guard(m_lock);
    return m_contexts.erase(hContext) ? 1 : 0;
}

int ContextTable::SetSettingsFile(int hContext, const wchar_t* path) {
    std::wstring ownPath;
    const int pathValid = CopyCallerPath(path, ownPath);
    std::wstring text;
    const bool read = pathValid && ReadTextFile(ownPath, text) == TextFileStatus::Read;
    const LanguageSettings settings = read ? ParseLanguageSettings(text) : LanguageSettings();

    std::lock_guard<CSrwLock> guard(m_lock);
    const auto context = m_contexts.find(hContext);
    if (context == m_contexts.end()) return 0;
    context->second.settingsPath = ownPath;
    context->second.settingsFallback = settings.fallbackLanguage;
    return read ? 1 : 0;
}

int ContextTable::SetActiveLanguage(int hContext, int langId) {
    std::lock_guard<CSrwLock> guard(m_lock);
    const auto context = m_contexts.find(hContext);
    if (context == m_contexts.end() || langId < 0 || langId > 0xFFFF) return 0;
    context->second.activeLanguage = static_cast<unsigned short>(langId);
    return 1;
}

int ContextTable::SetMessageFile(int hContext, const wchar_t* path) {
    std::wstring ownPath;
    const int pathValid = CopyCallerPath(path, ownPath);
    std::wstring text;
    const bool read = pathValid && ReadTextFile(ownPath, text) == TextFileStatus::Read;
    std::unique_ptr<const MessageTable> messages;
    if (read) messages = std::make_unique<const MessageTable>(ParseMessages(text).table);

    std::lock_guard<CSrwLock> guard(m_lock);
    const auto context = m_contexts.find(hContext);
    if (context == m_contexts.end()) return 0;
    context->second.messagePath = ownPath;
    context->second.messages = std::move(messages);
    return read ? 1 : 0;
}

int ContextTable::FindText(int hContext, int number, std::wstring& text) const {
    std::lock_guard<CSrwLock> guard(m_lock);
    const auto context = m_contexts.find(hContext);
    if (context == m_contexts.end()) return BAD_ARGUMENTS;
    const Context& state = context->second;
    if (!state.messages) return NO_TEXT;
    const std::wstring* found =
        state.messages->Find(LanguageCandidates(state.activeLanguage, state.settingsFallback), number);
    if (!found) return NO_TEXT;
    text = *found;
    return DELIVERED;
}

ContextTable& Contexts() {
    static ContextTable table;
    return table;
}
