// vantrel-set: sets the radio dongle from the command line, for scripts and
// production lines. Same frames and the same wait for 55 AA as the window.

#include "tools/SetArguments.h"
#include "tools/SettingSender.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-set"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));

    const SetArguments::Parsed parsed = SetArguments::parse(QCoreApplication::arguments());
    if (!parsed.plan) {
        print(stderr,
              QStringLiteral("vantrel-set: %1\nTry 'vantrel-set --help'.\n").arg(parsed.error));
        return SetArguments::kUsageError;
    }
    const SetArguments::Plan &plan = *parsed.plan;
    switch (plan.action) {
    case SetArguments::Plan::Action::Help:
        print(stdout, SetArguments::helpText());
        return 0;
    case SetArguments::Plan::Action::Version:
        print(stdout,
              QStringLiteral("vantrel-set %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    case SetArguments::Plan::Action::DryRun:
        for (const SetArguments::PageFrame &frame : plan.frames)
            print(stdout, SetArguments::frameHex(frame.frame) + QLatin1Char('\n'));
        return 0;
    case SetArguments::Plan::Action::Send:
        break;
    }

    SettingSender sender(plan, {});
    QObject::connect(&sender, &SettingSender::finished, &app,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    sender.start();
    return QCoreApplication::exec();
}
