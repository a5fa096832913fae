#include <QCloseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "model/config_form.h"
#include "model/config_loader.h"
#include "tests/model/model_fixture.h"
#include "tests/support/test_paths.h"

TEST(ConfigForm, LayoutAndPictures)
{
    TConfigForm form;
    EXPECT_EQ(form.windowTitle(), "Конфигурация");
    EXPECT_EQ(form.findChild<QSplitter *>("Splitter1"), form.Splitter1);
    EXPECT_EQ(form.findChild<CTreeView *>("tvConfig"), form.tvConfig);
    EXPECT_EQ(form.findChild<CTreeView *>("tvConfigFile"), form.tvConfigFile);
    EXPECT_EQ(form.Splitter1->orientation(), Qt::Vertical);
    EXPECT_EQ(form.Splitter1->handleWidth(), 3);
    EXPECT_EQ(form.tvConfig->indentation(), 27);
    EXPECT_EQ(form.tvConfig->font().pixelSize(), 16);
    EXPECT_EQ(form.tvConfig->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_NE(form.tvConfigFile->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(form.tvConfig->items().isEmpty());
    ASSERT_EQ(form.ilConfig.size(), 9);
    for (const QIcon &icon : form.ilConfig) {
        const QImage image = icon.pixmap(24, 24).toImage();
        EXPECT_EQ(image.size(), QSize(24, 24));
        EXPECT_NE(image.pixel(12, 12), 0u) << "a picture has something in its middle";
    }
}

TEST(ConfigForm, ShowsTheCatalogueAndAStoredFile)
{
    ModelFixture fx;
    TConfigForm form;
    ConfigForm = &form;
    ASSERT_TRUE(LoadXmlToTree(SourcePath("data/devices.xml"), ConfigForm->tvConfig));
    ASSERT_TRUE(LoadXmlToTree(SourcePath("tests/model/fixtures/stored.DEV"), ConfigForm->tvConfigFile));
    QAbstractItemModel *m = form.tvConfig->model();
    ASSERT_EQ(m->rowCount(), 4);
    EXPECT_EQ(m->index(0, 0).data().toString(), "Тиврон-А");
    EXPECT_FALSE(m->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(form.tvConfigFile->model()->rowCount(), 1);

    // Choosing a node in the view gives the node of the headless tree.
    CTreeNode *second = form.tvConfig->items().topNode(1);
    form.tvConfig->selectNode(second);
    EXPECT_EQ(form.tvConfig->selectedNode(), second);

    // An edited caption of the file tree goes into its node.
    QAbstractItemModel *fm = form.tvConfigFile->model();
    EXPECT_TRUE(fm->setData(fm->index(0, 0), "renamed", Qt::EditRole));
    EXPECT_EQ(form.tvConfigFile->items().firstNode()->text, "renamed");

    // Reloading keeps a node the editor holds.
    std::shared_ptr<CTreeNode> current = form.tvConfig->items().firstNode()->shared();
    ASSERT_TRUE(LoadXmlToTree(SourcePath("data/devices.xml"), ConfigForm->tvConfig));
    EXPECT_EQ(current->text, "Тиврон-А");
    EXPECT_EQ(current->tree(), nullptr);
    EXPECT_NE(form.tvConfig->items().firstNode(), current.get());
    ConfigForm = nullptr;
}

TEST(ConfigForm, ClosingOnlyHidesAndMessagesGoThroughTheDialog)
{
    ModelFixture fx;
    QWidget main;
    main.setGeometry(100, 100, 800, 600);
    TConfigForm form(&main);
    form.ShowBeside(&main);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isWindow());
    EXPECT_FALSE(form.testAttribute(Qt::WA_QuitOnClose));
    form.close();
    EXPECT_FALSE(form.isVisible());
    form.ShowBeside(&main);
    EXPECT_TRUE(form.isVisible());

    EXPECT_EQ(form.ShowMessageDlg("Вопрос", mtConfirmation, MsgButtons(mbYes) | MsgButtons(mbNo)), mrOk);
    ASSERT_EQ(fx.messages.size(), 1u);
    EXPECT_EQ(fx.messages[0].text, "Вопрос");
    EXPECT_EQ(fx.messages[0].kind, mtConfirmation);
}
