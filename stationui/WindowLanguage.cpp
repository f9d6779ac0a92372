#include "stationui/WindowLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>

WindowLanguage::~WindowLanguage()
{
    QCoreApplication::removeTranslator(&m_own);
    QCoreApplication::removeTranslator(&m_qt);
}

QString WindowLanguage::resolve(const QString &choice, const QLocale &system)
{
    if (choice == QLatin1String("en") || choice == QLatin1String("zh_CN"))
        return choice;
    if (system.language() == QLocale::Chinese &&
        system.script() != QLocale::TraditionalChineseScript)
        return QStringLiteral("zh_CN");
    return QStringLiteral("en");
}

QString WindowLanguage::apply(const QString &choice)
{
    const QString language = resolve(choice, QLocale::system());
    if (language == m_current)
        return language;
    QCoreApplication::removeTranslator(&m_own);
    QCoreApplication::removeTranslator(&m_qt);
    // Built into the program (see stationui/CMakeLists.txt).
    if (m_own.load(QStringLiteral(":/i18n/vantrel-station_%1.qm").arg(language)))
        QCoreApplication::installTranslator(&m_own);
    if (m_qt.load(QStringLiteral("qtbase_%1").arg(language),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qt);
    QLocale::setDefault(QLocale(language));
    m_current = language;
    return language;
}
