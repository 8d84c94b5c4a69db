#pragma once

#include "app/tform1.h"
#include "app/tfilebrowser.h"
#include "app/tpicturebox.h"
#include "support/testmain.h"
#include "support/ttestworkspace.h"
#include "tscriptededitorprompts.h"
#include "support/waithelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// Every test starts from no remembered settings (the settings live under
// the test run's own XDG_CONFIG_HOME).
inline void ForgetSettings() {
    TForm1::OpenSettings()->clear();
}

// The settings are forgotten before the workspace and the window are made.
struct TForgottenSettings {
    TForgottenSettings() { ForgetSettings(); }
};

// A shown window on its own workspace:
// `auto& [ws, ask, form] = editor;` names its parts as the tests call them.
struct TEditorOnWorkspace {
    TTestWorkspace Ws;
    TScriptedEditorPrompts Ask;
    TForm1 Form{&Ask};
    TEditorOnWorkspace() { Form.show(); }
};

// The same, started from no remembered settings.
struct TShownEditor : TForgottenSettings, TEditorOnWorkspace {};

template <typename T> T* Find(TForm1& Form, const char* Name) {
    T* w = Form.findChild<T*>(QString::fromLatin1(Name));
    EXPECT_NE(w, nullptr) << "no control " << Name;
    return w;
}

// Whether the button Name is checked (false when there is none).
inline bool Checked(TForm1& Form, const char* Name) {
    auto* b = Find<QAbstractButton>(Form, Name);
    return b && b->isChecked();
}

// Every button of On checked, every one of Off not.
inline void ExpectChecked(TForm1& Form, std::initializer_list<const char*> On,
                          std::initializer_list<const char*> Off = {}) {
    for (const char* name : On)
        EXPECT_TRUE(Checked(Form, name)) << name;
    for (const char* name : Off)
        EXPECT_FALSE(Checked(Form, name)) << name;
}

inline void Click(TForm1& Form, const char* Name) {
    auto* b = Find<QAbstractButton>(Form, Name);
    if (b) b->click();
}

// Types Text into the label cell (Col, Row) of the grid as a person does:
// start the in-place editor, type, press Enter.
inline void TypeInCell(TForm1& Form, int Col, int Row, const QString& Text) {
    auto* grid = Find<QTableWidget>(Form, "CodeGrid");
    if (!Form.isVisible()) Form.show();
    QApplication::setActiveWindow(&Form);
    grid->setCurrentCell(Row - 1, Col);
    grid->editItem(grid->item(Row - 1, Col));
    QLineEdit* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!editor || editor->parentWidget() != grid->viewport()) editor = nullptr;
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, Text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits through a queued call and deletes the editor later.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(grid->item(Row - 1, Col)->text(), Text);
}

inline void SelectCell(TForm1& Form, int Col, int Row) {
    Find<QTableWidget>(Form, "CodeGrid")->setCurrentCell(Row - 1, Col);
}

inline QImage Picture(TForm1& Form, const char* Name) {
    auto* p = Find<TPictureBox>(Form, Name);
    return p ? p->Picture() : QImage();
}

// Red, green and blue of every pixel equal (alpha ignored).
inline bool SameRgb(const QImage& A, const QImage& B) {
    if (A.size() != B.size() || A.isNull()) return false;
    for (int y = 0; y < A.height(); ++y)
        for (int x = 0; x < A.width(); ++x)
            if ((A.pixel(x, y) & 0xFFFFFF) != (B.pixel(x, y) & 0xFFFFFF)) return false;
    return true;
}

// True when the part of Big at (X, Y) equals Small.
inline bool RegionEquals(const QImage& Big, int X, int Y, const QImage& Small) {
    return SameRgb(Big.copy(X, Y, Small.width(), Small.height()), Small);
}

inline QString LogText(TForm1& Form) {
    return Find<QPlainTextEdit>(Form, "MessageLog")->toPlainText();
}

inline QByteArray ReadAll(const std::string& Path) {
    QFile f(QString::fromStdString(Path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
