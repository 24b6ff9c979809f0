#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "ZelJPEGOptionsForm.h"

TEST(JPEGQuality, PresetsAndParsing) {
  EXPECT_EQ(PresetIndex(79), 2);
  EXPECT_EQ(PresetIndex(80), 3);
  EXPECT_EQ(PresetIndex(100), 4);
  EXPECT_EQ(PresetIndex(5), 0);
  EXPECT_EQ(PresetQuality(1), 30);

  int32_t quality = -1;
  EXPECT_TRUE(ParseQuality(u"45"_qs, quality));
  EXPECT_EQ(quality, 45);
  EXPECT_TRUE(ParseQuality(u"+0"_qs, quality));
  EXPECT_EQ(quality, 0);
  EXPECT_FALSE(ParseQuality(u"150"_qs, quality));
  EXPECT_EQ(quality, 150);
  EXPECT_FALSE(ParseQuality(u"-3"_qs, quality));
  EXPECT_EQ(quality, -3);
  EXPECT_FALSE(ParseQuality(u"12x"_qs, quality));
  EXPECT_EQ(quality, 12);
  EXPECT_FALSE(ParseQuality(QString(), quality));
  EXPECT_EQ(quality, 0);
  EXPECT_FALSE(ParseQuality(u"-"_qs, quality));
  EXPECT_FALSE(ParseQuality(u"99999999999999999999"_qs, quality));
  EXPECT_EQ(quality, INT32_MAX);
}

class JPEGOptionsFormTest : public testing::Test {
 protected:
  void SetUp() override {
    unit_ = std::make_unique<quill::TZelFormsUnit>();
    ZelApplication->SetMessageBoxAnswerer([this](const QString&, const QString& caption, uint32_t flags) {
      messages_.push_back({caption, flags});
      return quill::IDOK;
    });
    form_.reset(quill::ZelCreate<TZelJPEGOptionsForm>(nullptr));
  }
  void TearDown() override {
    form_.reset();
    quill::SetJPEGQualityAsker(nullptr);
    unit_.reset();
  }

  // The three controls' values.
  void ExpectShown(int32_t quality, int32_t presetIndex) {
    EXPECT_EQ(form_->QualityEdit()->text(), QString::number(quality));
    EXPECT_EQ(form_->QualityComboBox()->currentIndex(), presetIndex);
    EXPECT_EQ(form_->QualityTrackBar()->value(), quality);
    EXPECT_EQ(form_->GetQuality(), quality);
  }

  struct Message {
    QString caption;
    uint32_t flags;
  };
  std::unique_ptr<quill::TZelFormsUnit> unit_;
  std::unique_ptr<TZelJPEGOptionsForm> form_;
  std::vector<Message> messages_;
};

TEST_F(JPEGOptionsFormTest, ControlsFollowEachOther) {
  form_->SetQuality(80);
  ExpectShown(80, 3);
  form_->QualityEdit()->setText(u"45"_qs);  // typing selects the preset at or below
  EXPECT_EQ(form_->QualityComboBox()->currentIndex(), 1);
  EXPECT_EQ(form_->QualityTrackBar()->value(), 45);
  form_->QualityComboBox()->setCurrentIndex(2);  // a preset sets its exact value
  ExpectShown(60, 2);
  form_->QualityTrackBar()->setValue(99);
  ExpectShown(99, 3);
  form_->QualityEdit()->setText(u"abc"_qs);  // invalid text changes nothing else
  EXPECT_EQ(form_->QualityTrackBar()->value(), 99);
  EXPECT_EQ(form_->QualityComboBox()->currentIndex(), 3);
}

TEST_F(JPEGOptionsFormTest, InvalidEntriesAreReportedAndCorrected) {
  struct Case {
    const char16_t* text;
    int32_t corrected;
  };
  for (const Case& c : {Case{u"150", 100}, Case{u"-3", 0}, Case{u"", 0}, Case{u"12x", 12}}) {
    messages_.clear();
    form_->SetQuality(50);
    form_->QualityEdit()->setText(QString::fromUtf16(c.text));
    form_->OkButton()->click();
    ASSERT_EQ(messages_.size(), 1u) << c.corrected;
    EXPECT_EQ(messages_[0].flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(messages_[0].caption, form_->windowTitle());
    ExpectShown(c.corrected, PresetIndex(c.corrected));
    EXPECT_EQ(form_->GetModalResult(), 0);  // still open
  }
  form_->OkButton()->click();  // the corrected value is accepted
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(form_->GetModalResult(), quill::IDOK);
}

TEST_F(JPEGOptionsFormTest, AskerAnswersInPlaceOfTheDialog) {
  quill::SetJPEGQualityAsker([](int32_t& quality) {
    quality = 35;
    return true;
  });
  int32_t quality = 80;
  EXPECT_TRUE(quill::AskJPEGQuality(quality));
  EXPECT_EQ(quality, 35);
  quill::SetJPEGQualityAsker([](int32_t&) { return false; });
  EXPECT_FALSE(quill::AskJPEGQuality(quality));
  EXPECT_EQ(quality, 35);
}

TEST_F(JPEGOptionsFormTest, DialogReturnsTheConfirmedQuality) {
  // The real dialog, answered by clicks once its modal loop runs.
  int32_t quality = 30;
  QTimer::singleShot(0, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelJPEGOptionsForm*>(widget); form && form->isVisible()) {
        form->QualityTrackBar()->setValue(72);
        form->OkButton()->click();
      }
    }
  });
  EXPECT_TRUE(quill::AskJPEGQuality(quality));
  EXPECT_EQ(quality, 72);

  QTimer::singleShot(0, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelJPEGOptionsForm*>(widget); form && form->isVisible()) {
        form->QualityTrackBar()->setValue(10);
        form->CancelButton()->click();
      }
    }
  });
  EXPECT_FALSE(quill::AskJPEGQuality(quality));
  EXPECT_EQ(quality, 72);
}

// The dialog comes up in the middle of the screen, not at its top-left corner.
TEST_F(JPEGOptionsFormTest, DialogOpensCentredOnTheScreen) {
  QRect frame;
  QRect screen;
  QTimer::singleShot(0, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelJPEGOptionsForm*>(widget); form && form->isVisible()) {
        frame = form->frameGeometry();
        screen = form->screen()->availableGeometry();
        form->CancelButton()->click();
      }
    }
  });
  int32_t quality = 30;
  EXPECT_FALSE(quill::AskJPEGQuality(quality));
  ASSERT_FALSE(frame.isEmpty());
  EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1) << frame.x() << "," << frame.y();
  EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1) << frame.x() << "," << frame.y();
}

namespace {

QWidget* FocusEdit(TZelJPEGOptionsForm& form) { return form.QualityEdit(); }
QWidget* FocusList(TZelJPEGOptionsForm& form) { return form.QualityComboBox(); }
QWidget* FocusCancel(TZelJPEGOptionsForm& form) { return form.CancelButton(); }

// Types Text into Window, key by key.
void TypeText(QWindow* window, const char* text) {
  for (; *text != '\0'; ++text) QTest::keyClick(window, *text);
}

// Once the dialog's modal loop runs, puts the focus on the control Focus picks and
// types Keys into the dialog's window as a keyboard would, to the focused control.
// A dialog that the keys left open is closed (a cancel) and LeftOpen set.
void TypeIntoDialog(QWidget* (*focus)(TZelJPEGOptionsForm&), std::function<void(QWindow*)> keys,
                    bool& leftOpen) {
  leftOpen = false;
  QTimer::singleShot(0, [focus, keys = std::move(keys), &leftOpen] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelJPEGOptionsForm*>(widget); form && form->isVisible()) {
        form->activateWindow();
        focus(*form)->setFocus();
        keys(form->windowHandle());
        if (form->GetModalResult() == 0) {
          leftOpen = true;
          form->close();
        }
      }
    }
  });
}

}  // namespace

TEST_F(JPEGOptionsFormTest, EnterConfirmsAndEscCancels) {
  int32_t quality = 30;
  bool leftOpen = false;
  TypeIntoDialog(
      FocusEdit,
      [](QWindow* window) {
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);  // select all
        TypeText(window, "45");
        QTest::keyClick(window, Qt::Key_Return);
      },
      leftOpen);
  EXPECT_TRUE(quill::AskJPEGQuality(quality));
  EXPECT_FALSE(leftOpen);
  EXPECT_EQ(quality, 45);

  // Enter goes through the OK button's check: reported, corrected, and the dialog stays
  // open until Enter (here from the keypad) confirms the value.
  TypeIntoDialog(
      FocusEdit,
      [](QWindow* window) {
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        TypeText(window, "150");
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
      },
      leftOpen);
  EXPECT_TRUE(quill::AskJPEGQuality(quality));
  EXPECT_FALSE(leftOpen);
  EXPECT_EQ(quality, 100);
  EXPECT_EQ(messages_.size(), 1u);

  for (QWidget* (*focus)(TZelJPEGOptionsForm&) : {FocusEdit, FocusList}) {
    TypeIntoDialog(
        focus,
        [](QWindow* window) {
          TypeText(window, "7");
          QTest::keyClick(window, Qt::Key_Escape);
        },
        leftOpen);
    EXPECT_FALSE(quill::AskJPEGQuality(quality));
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(quality, 100);
  }

  // A focused button takes Enter itself.
  TypeIntoDialog(
      FocusCancel, [](QWindow* window) { QTest::keyClick(window, Qt::Key_Return); }, leftOpen);
  EXPECT_FALSE(quill::AskJPEGQuality(quality));
  EXPECT_FALSE(leftOpen);
}
