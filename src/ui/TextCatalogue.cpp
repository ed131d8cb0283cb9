// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TextCatalogue.h"

#include <QCoreApplication>
#include <QTranslator>

namespace parlune {

bool TextCatalogue::install()
{
    // Owned by the application, so that it stays installed for as long as texts are asked for.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(path)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace parlune
