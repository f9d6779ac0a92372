#include "station/SettingResolver.h"

#include "protocol/ByteText.h"
#include "station/SettingOptions.h"
#include "station/SettingProfile.h"

#include <QStringList>

#include <array>

namespace ProfileSettings {
namespace {

// What an ID box holds until the operator types into it.
constexpr const char *kInitialIdText = "000";

using Ids = std::array<QByteArray, 3>;

std::string_view viewOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

// Three IDs as the window's boxes would hold them, checked by the window's
// rule; empty when refused, with the reason.
std::optional<Ids> parseIds(const Given &setting, QString *error)
{
    const QStringList parts = setting.value.split(QLatin1Char(','));
    if (parts.size() != 3) {
        *error = QStringLiteral("%1 takes three IDs separated by commas, e.g. 1,2,3; "
                                "got %2.")
                     .arg(setting.where, SettingProfile::quoted(setting.value));
        return std::nullopt;
    }
    Ids ids;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const QByteArray text = parts[qsizetype(i)].toUtf8();
        if (!SettingCodec::idByte(viewOf(text))) {
            *error = QStringLiteral("%1 %2: the ID %3 is refused.\n%4")
                         .arg(setting.where, SettingProfile::quoted(setting.value),
                              SettingProfile::quoted(parts[qsizetype(i)]),
                              toQString(SettingCodec::kOverRangeText));
            return std::nullopt;
        }
        ids[i] = text;
    }
    return ids;
}

// The profile's lines as settings, before the options override them.
std::optional<QHash<QString, Given>> profileSettings(const QString &path, QString *error)
{
    QHash<QString, Given> settings;
    if (path.isEmpty())
        return settings;
    const SettingProfile::Read read = SettingProfile::read(path, settingNames());
    if (!read.entries) {
        *error = read.error;
        return std::nullopt;
    }
    for (const SettingProfile::Entry &entry : *read.entries) {
        settings.insert(
            entry.name,
            {entry.value, QStringLiteral("%1:%2: %3").arg(path).arg(entry.line).arg(entry.name)});
    }
    return settings;
}

// The choices and IDs settled, with the pages they touch and the settings
// as resolved, in the profile's order.
struct Settled
{
    Choices choices;
    std::array<Ids, 2> ids; // master, slave
    bool pages[3] = {};
    QList<std::pair<QString, QString>> resolved;
};

bool settle(const QHash<QString, Given> &settings, Settled &out, QString *error)
{
    for (const ListOption &option : listOptions()) {
        const QString name = QLatin1String(option.name);
        if (!settings.contains(name))
            continue;
        const Given setting = settings.value(name);
        const std::optional<int> item = matchItem(*option.table, setting.value);
        if (!item) {
            *error = QStringLiteral("%1 %2 is not one of the allowed values: %3.")
                         .arg(setting.where, SettingProfile::quoted(setting.value),
                              itemTexts(*option.table).join(QStringLiteral(", ")));
            return false;
        }
        out.choices.*option.choice = *item;
        out.pages[int(option.page)] = true;
        out.resolved.append({name, itemTexts(*option.table).at(*item)});
    }
    for (std::size_t i = 0; i < out.ids.size(); ++i) {
        out.ids[i].fill(kInitialIdText);
        const QString name = QLatin1String(idOptions()[i]);
        if (!settings.contains(name))
            continue;
        const std::optional<Ids> ids = parseIds(settings.value(name), error);
        if (!ids)
            return false;
        out.ids[i] = *ids;
        out.pages[int(Page::Advanced)] = true;
        // As sent: "001" and "1.2" are both 1.
        QStringList bytes;
        for (const QByteArray &id : *ids)
            bytes << QString::number(*SettingCodec::idByte(viewOf(id)));
        out.resolved.append({name, bytes.join(QLatin1Char(','))});
    }
    return true;
}

QList<PageFrame> framesOf(const Settled &s)
{
    QList<PageFrame> frames;
    if (s.pages[int(Page::General)])
        frames.append({Page::General, SettingCodec::BuildGeneralFrame(s.choices)});
    if (s.pages[int(Page::Advanced)]) {
        const auto &[master, slave] = s.ids;
        // Each ID passed the window's check in settle().
        frames.append(
            {Page::Advanced,
             SettingCodec::BuildPairFrame(s.choices.pairMode,
                                          {viewOf(master[0]), viewOf(master[1]), viewOf(master[2])},
                                          {viewOf(slave[0]), viewOf(slave[1]), viewOf(slave[2])})
                 .value()});
    }
    if (s.pages[int(Page::Advanced2)]) {
        frames.append(
            {Page::Advanced2, SettingCodec::BuildReceiveTimeoutFrame(s.choices.receiveTimeout)});
    }
    return frames;
}

} // namespace

Resolution resolveSettings(const QString &profilePath, const QHash<QString, Given> &overrides)
{
    QString error;
    std::optional<QHash<QString, Given>> settings = profileSettings(profilePath, &error);
    if (!settings)
        return {std::nullopt, error};
    // Every line of the profile is checked, also one an option overrides: a
    // profile with a bad line is a bad profile.
    if (Settled fromProfile; !settle(*settings, fromProfile, &error))
        return {std::nullopt, error};
    settings->insert(overrides);
    Settled settled;
    if (!settle(*settings, settled, &error))
        return {std::nullopt, error};
    if (!settled.pages[0] && !settled.pages[1] && !settled.pages[2]) {
        return {std::nullopt,
                QStringLiteral("No setting given: name at least one, e.g. --channel 15.")};
    }
    return {Resolved{framesOf(settled), SettingProfile::text(settled.resolved)}, {}};
}

} // namespace ProfileSettings
