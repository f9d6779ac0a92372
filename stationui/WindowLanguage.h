#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

// The window's language: English or Simplified Chinese, the system's unless
// chosen. Installing a translation sends every widget a LanguageChange, on
// which each sets its texts again.
class WindowLanguage
{
public:
    WindowLanguage() = default;
    ~WindowLanguage();
    WindowLanguage(const WindowLanguage &) = delete;
    WindowLanguage &operator=(const WindowLanguage &) = delete;

    // choice: "en", "zh_CN", or empty for the system's. Returns the language
    // used.
    QString apply(const QString &choice);
    [[nodiscard]] QString current() const { return m_current; }

    // The language a choice means on a system whose locale is system: every
    // Chinese locale but the traditional ones takes Simplified Chinese,
    // everything else English.
    [[nodiscard]] static QString resolve(const QString &choice, const QLocale &system);

private:
    QTranslator m_own;
    QTranslator m_qt; // Qt's own dialogs, where the system has their translation
    QString m_current;
};
