// Opening the archive windows from the service window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "app/message_dlg.h"
#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"
#include "service/archive_open.h"

TEST(ArchiveOpen, RefusesAnAddressOutsideTheLine)
{
    QStringList messages;
    SetMessageDlgHook([&](const QString &text, int kind, MsgButtons buttons) {
        messages << text;
        EXPECT_EQ(kind, int(mtError));
        EXPECT_EQ(buttons, MsgButtons(mbOK));
        return int(mrOk);
    });
    for (int address : {0, 256, -1}) {
        ShowArchiveASPT(nullptr, address);
        ShowArchiveASPT_A(nullptr, address);
    }
    EXPECT_EQ(messages, QStringList(6, QStringLiteral("Выбраный адрес не является корректным.")));
    SetMessageDlgHook(nullptr);
}

TEST(ArchiveOpen, ShowsTheWindowOfTheDeviceModally)
{
    QStringList titles;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            titles << modal->windowTitle();
            if (auto *a = qobject_cast<TArchiveASPTForm *>(modal))
                titles << a->AddressHex;
            if (auto *b = qobject_cast<TArchiveASPT_AForm *>(modal))
                titles << b->AddressHex;
            modal->close();
        }
    });
    closer.start(10);
    ShowArchiveASPT(nullptr, 12);
    ShowArchiveASPT_A(nullptr, 255);
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Протокол событий АСПТ-12"), QStringLiteral("0B"),
                                   QStringLiteral("Протокол событий АСПТ-А-255"), QStringLiteral("FE")}));
}
