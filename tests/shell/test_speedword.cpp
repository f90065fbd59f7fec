// The speedword dialog over the frame's list and the tools file it rewrites.
#include "environment_guard.h"
#include "file_helpers.h"
#include "scripted_dialogs.h"
#include "u_main.h"
#include "u_speedword.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace ostrim {
namespace {

const QByteArray kTool = "Title      =Editor\r\nProgram    =/usr/bin/vi\r\n"
                         "WorkingDir =/tmp\r\nParameters =-R\r\n";

class Speedwords : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        env.set("OSTRIM_HOME", m_dir.path().toLocal8Bit());
    }
    QString toolsPath() const { return m_dir.filePath("OSTRIM.TOOLS"); }
    // The frame reads the tools file as it is created.
    void start(const QByteArray& words) {
        test::writeBytes(toolsPath(), kTool + words);
        main = std::make_unique<Tmain>();
    }
    QStringList listed(const Tf_speedword& d) const {
        QStringList words;
        for (int row = 0; row < d.l_speedwords->count(); ++row)
            words << d.l_speedwords->item(row)->text();
        return words;
    }
    void click(Tf_speedword& d, int row) {
        QListWidget* list = d.l_speedwords;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    void add(Tf_speedword& d, const QString& word) {
        d.e_word->setText(word);
        d.btn_add->click();
    }
    // The last box's text and caption.
    std::pair<QString, QString> lastBox() const {
        const auto boxes = dialogs.messages();
        if (boxes.empty())
            return {};
        return {boxes.back().text, boxes.back().caption};
    }

    test::EnvironmentGuard env;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<Tmain> main;
};

TEST_F(Speedwords, AWordEqualButForCaseIsASecondEntryAndTheSameWordIsRefused) {
    start("Speedword  =where\r\nSpeedword  =Select\r\nSpeedword  =from\r\n");
    Tf_speedword d(*main);
    EXPECT_EQ(d.windowTitle(), "Speedword Maintenance");
    EXPECT_EQ(listed(d), (QStringList{"from", "Select", "where"}));
    EXPECT_EQ(d.l_speedwords->currentRow(), 0);
    EXPECT_TRUE(d.btn_delete->isEnabled());
    EXPECT_TRUE(d.e_word->text().isEmpty()) << "selecting the first word is no click";

    add(d, "select");
    EXPECT_EQ(lastBox(), std::make_pair(QString("select"), QString("Speedword added")));
    EXPECT_EQ(listed(d), (QStringList{"from", "Select", "select", "where"}));
    EXPECT_EQ(main->tools.speedwords, listed(d));
    EXPECT_EQ(test::readBytes(toolsPath()),
              kTool + "Speedword  =from\r\nSpeedword  =Select\r\nSpeedword  =select\r\n"
                      "Speedword  =where\r\n");

    add(d, "select");
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(lastBox(),
              std::make_pair(QString("Speedword already exists !"), QString("Speedword")));
    EXPECT_EQ(dialogs.messages().back().icon, QMessageBox::Critical);
    EXPECT_EQ(listed(d).size(), 4);

    add(d, "  ");
    EXPECT_EQ(dialogs.messages().size(), 2u) << "blanks are no word";
    EXPECT_EQ(listed(d).size(), 4);
}

TEST_F(Speedwords, DeletingTheLastWordDisablesDeleteAndEmptiesTheFilesWords) {
    start("Speedword  =go\r\nSpeedword  =begin\r\n");
    {
        Tf_speedword d(*main);
        d.show();
        click(d, 1);
        EXPECT_EQ(d.e_word->text(), "go") << "a click copies the word";
        d.btn_delete->click();
        EXPECT_EQ(lastBox(), std::make_pair(QString("go"), QString("Speedword deleted")));
        EXPECT_EQ(listed(d), QStringList{"begin"});
        EXPECT_TRUE(d.btn_delete->isEnabled());

        // Nothing is selected after a deletion: Delete does nothing.
        d.btn_delete->click();
        EXPECT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(listed(d), QStringList{"begin"});

        click(d, 0);
        d.btn_delete->click();
        EXPECT_EQ(lastBox(), std::make_pair(QString("begin"), QString("Speedword deleted")));
        EXPECT_FALSE(d.btn_delete->isEnabled());
    }
    EXPECT_TRUE(main->tools.speedwords.isEmpty());
    EXPECT_EQ(test::readBytes(toolsPath()), kTool) << "the tool stays, no Speedword line";

    Tf_speedword again(*main);
    EXPECT_EQ(again.l_speedwords->count(), 0);
    EXPECT_FALSE(again.btn_delete->isEnabled());
}

} // namespace
} // namespace ostrim
