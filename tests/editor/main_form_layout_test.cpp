// The main window's frame offscreen at its designed size, and what its tool and menu area offer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "../support/test_paths.h"
#include "editor/config_files.h"
#include "editor/main_form.h"
#include "editor/word_report.h"
#include "model/config_loader.h"
#include "tests/support/file_dialogs.h"
#include "tests/support/layout_check.h"

TEST(MainFormLayout, EveryTextShowsWholeAtTheDesignedSize)
{
    TMainForm form;
    form.show();
    form.SetStatusText(ReportExportText);
    EXPECT_EQ(form.size(), QSize(790, 974));
    EXPECT_EQ(LayoutReport(&form), "");
    // The tabs of every model of the sample catalogue; the pages themselves have tests of their own.
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    for (int d = 0; d < catalogue.count(); ++d) {
        SCOPED_TRACE(catalogue.topNode(d)->text.toStdString());
        form.BuildDevicePages(catalogue.topNode(d), nullptr, false);
        EXPECT_EQ(LayoutReport(form.PageControl->tabBar()), "");
    }
}

TEST(MainFormLayout, NoPopUpMenuOverTheToolAndMenuBars)
{
    TMainForm form;
    form.show();
    int popups = 0;
    QTimer watch; // a menu that opens is counted and closed, so nothing waits for it
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            ++popups;
            popup->close();
        }
    });
    watch.start();
    for (QWidget *target : {static_cast<QWidget *>(form.ToolBar), static_cast<QWidget *>(form.menuBar()),
                            static_cast<QWidget *>(form.StatusBar)}) {
        const QPoint at(target->width() - 2, target->height() / 2); // off the buttons and menus
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << target->metaObject()->className();
    }
    EXPECT_EQ(popups, 0);
    EXPECT_TRUE(form.ToolBar->isVisible());
}

TEST(MainFormLayout, ConfigurationFileDialogsAreQtsOwnInRussian)
{
    SetConfigFileDialogs({});
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        const SeenFileDialog seen = CancelNextFileDialog([save] {
            EXPECT_EQ(save ? ShowSaveConfigDialog(nullptr) : ShowOpenConfigDialog(nullptr), std::nullopt);
        });
        EXPECT_TRUE(seen.shown);
        EXPECT_FALSE(seen.native);
        EXPECT_EQ(seen.cancelText, QStringLiteral("Отмена"));
    }
}
