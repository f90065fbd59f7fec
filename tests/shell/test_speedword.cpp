// The speedword dialog over the frame's list and the tools file it rewrites.
#include "environment_guard.h"
#include "file_helpers.h"
#include "scripted_dialogs.h"
#include "u_main.h"
#include "u_speedword.h"
#include "window_helpers.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace ostrim {
namespace {

const QByteArray kTool = test::toolRecord("Editor", "/usr/bin/vi", "/tmp", "-R");

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
    test::expectLastBox(dialogs, 1, "select", "Speedword added");
    EXPECT_EQ(listed(d), (QStringList{"from", "Select", "select", "where"}));
    EXPECT_EQ(main->tools.speedwords, listed(d));
    EXPECT_EQ(test::readBytes(toolsPath()),
              kTool + "Speedword  =from\r\nSpeedword  =Select\r\nSpeedword  =select\r\n"
                      "Speedword  =where\r\n");

    add(d, "select");
    test::expectLastBox(dialogs, 2, "Speedword already exists !", "Speedword",
                        QMessageBox::Critical);
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
        test::expectLastBox(dialogs, 1, "go", "Speedword deleted");
        EXPECT_EQ(listed(d), QStringList{"begin"});
        EXPECT_TRUE(d.btn_delete->isEnabled());

        // Nothing is selected after a deletion: Delete does nothing.
        d.btn_delete->click();
        EXPECT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(listed(d), QStringList{"begin"});

        click(d, 0);
        d.btn_delete->click();
        test::expectLastBox(dialogs, 2, "begin", "Speedword deleted");
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
