// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/pages/about_page.h"

#include <QFile>
#include <QPlainTextEdit>

#include "tessel_version.h"

namespace tessel::shell {

AboutPage::AboutPage(QWidget* parent) : FrameBox("fraAbout", QStringLiteral("关于Tessel："), parent) {
    QPlainTextEdit* txtAbout = Multi(this, "txtAbout", Px(120, 240, 7095, 2295));
    txtAbout->setReadOnly(true);
    txtAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFile credits(QStringLiteral(":/tessel/credits.txt"));
    if (credits.open(QIODevice::ReadOnly))
        txtAbout->setPlainText(
            QString::fromUtf8(credits.readAll())
                .trimmed()
                .replace(QStringLiteral("@TESSEL_VERSION@"), QStringLiteral(TESSEL_VERSION))
                .replace(QStringLiteral("@TESSEL_VERSION_MAJOR@"), QStringLiteral(TESSEL_VERSION_MAJOR)));
}

}  // namespace tessel::shell
