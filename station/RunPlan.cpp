#include "station/RunPlan.h"

QString pageName(Page page)
{
    switch (page) {
    case Page::General:
        return QStringLiteral("General");
    case Page::Advanced:
        return QStringLiteral("Advanced");
    case Page::Advanced2:
        return QStringLiteral("Advanced 2");
    }
    return {};
}
