#include "controls/FooButton.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

void Click(QWidget *w, QPoint at = {})
{
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
}

struct Buttons {
  Buttons(int count, int type)
  {
    host.resize(300, 300);
    for (int i = 0; i < count; ++i) {
      auto *b = new FooButton(QStringLiteral("B%1").arg(i), &host);
      b->setGeometry(0, i * 30, 120, 25);
      b->SetType(type);
      buttons.push_back(b);
    }
    host.show();
  }
  QWidget host;
  std::vector<FooButton *> buttons;
};

} // namespace

TEST(FooButton, GroupedLatchingButtonsBehaveAsRadios)
{
  Buttons set(3, FooButton::TypeCheckPush);
  for (FooButton *b : set.buttons) {
    b->SetTextStyle(FooButton::TextLeft);
    EXPECT_TRUE(b->AddToGroup(QStringLiteral("main")));
  }
  FooButton *a = set.buttons[0], *b = set.buttons[1], *c = set.buttons[2];
  ASSERT_NE(FooButton::FindGroup(QStringLiteral("main")), nullptr);
  EXPECT_EQ(FooButton::FindGroup(QStringLiteral("main"))->size(), 3u);

  // The click reaches its receivers after the checked state changed.
  std::vector<bool> seen;
  QObject::connect(b, &QAbstractButton::clicked, [&] { seen.push_back(b->IsChecked()); });
  Click(a);
  EXPECT_TRUE(a->IsChecked());
  Click(b);
  EXPECT_TRUE(b->IsChecked());
  EXPECT_FALSE(a->IsChecked());
  EXPECT_EQ(seen, std::vector<bool>{true});
  Click(b);
  EXPECT_TRUE(b->IsChecked()) << "clicking the checked member leaves it checked";
  c->Check(true);
  EXPECT_FALSE(b->IsChecked());
  c->Check(false);
  EXPECT_FALSE(a->IsChecked() || b->IsChecked() || c->IsChecked()) << "unchecking touches no other member";
}

TEST(FooButton, UngroupedButtonsToggleRadiosOnlyCheck)
{
  Buttons set(3, FooButton::TypeCheckPush);
  FooButton *latch = set.buttons[0], *box = set.buttons[1], *radio = set.buttons[2];
  box->SetType(FooButton::TypeCheckBox);
  radio->SetType(FooButton::TypeRadio);
  Click(latch);
  EXPECT_TRUE(latch->IsChecked());
  Click(latch);
  EXPECT_FALSE(latch->IsChecked());
  Click(box);
  Click(box);
  EXPECT_FALSE(box->IsChecked());
  Click(radio);
  Click(radio);
  EXPECT_TRUE(radio->IsChecked());

  // A press released outside the button changes nothing and sends no click.
  QSignalSpy clicks(latch, &QAbstractButton::clicked);
  QTest::mousePress(latch, Qt::LeftButton, Qt::NoModifier, latch->rect().center());
  QTest::mouseRelease(latch, Qt::LeftButton, Qt::NoModifier, QPoint(-10, -10));
  EXPECT_FALSE(latch->IsChecked());
  EXPECT_EQ(clicks.count(), 0);

  // A plain push button keeps no checked state; a type change resets it.
  latch->Check(true);
  latch->SetType(FooButton::TypePush);
  EXPECT_FALSE(latch->IsChecked());
  latch->Check(true);
  EXPECT_FALSE(latch->IsChecked());
  latch->SetType(42);
  EXPECT_EQ(latch->GetType(), FooButton::TypePush) << "an unlisted type is refused";
  latch->SetTextStyle(7);
  EXPECT_EQ(latch->GetTextStyle(), FooButton::TextCentre);
}

TEST(FooButton, GroupsNeverHoldDestroyedOrMovedButtons)
{
  Buttons set(2, FooButton::TypeCheckPush);
  FooButton *a = set.buttons[0];
  EXPECT_FALSE(a->AddToGroup(QString()));
  a->AddToGroup(QStringLiteral("one"));
  EXPECT_TRUE(a->AddToGroup(QStringLiteral("one"))) << "joining twice keeps one entry";
  EXPECT_EQ(FooButton::FindGroup(QStringLiteral("one"))->size(), 1u);
  a->AddToGroup(QStringLiteral("two"));
  EXPECT_TRUE(FooButton::FindGroup(QStringLiteral("one"))->empty());
  EXPECT_EQ(a->GetGroupName(), QStringLiteral("two"));

  {
    auto doomed = std::make_unique<FooButton>(&set.host);
    doomed->SetType(FooButton::TypeCheckPush);
    doomed->AddToGroup(QStringLiteral("two"));
    doomed->Check(true);
    EXPECT_EQ(FooButton::FindGroup(QStringLiteral("two"))->size(), 2u);
  }
  EXPECT_EQ(FooButton::FindGroup(QStringLiteral("two"))->size(), 1u);
  a->Check(true); // must not reach the destroyed member
  EXPECT_TRUE(a->IsChecked());
  a->RemoveFromGroup();
  EXPECT_TRUE(a->GetGroupName().isEmpty());
}

TEST(FooButton, RegistryEndsWithTheLastButton)
{
  {
    Buttons set(2, FooButton::TypeCheckPush);
    set.buttons[0]->AddToGroup(QStringLiteral("main"));
    EXPECT_EQ(FooButton::InstanceCount(), 2);
  }
  EXPECT_EQ(FooButton::InstanceCount(), 0);
  EXPECT_EQ(FooButton::FindGroup(QStringLiteral("main")), nullptr);
  FooButton again;
  EXPECT_TRUE(again.AddToGroup(QStringLiteral("main")));
  EXPECT_NE(FooButton::FindGroup(QStringLiteral("main")), nullptr);
}

TEST(FooButton, SplitButtonArrowPart)
{
  Buttons set(1, FooButton::TypeSplit);
  FooButton *b = set.buttons[0];
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->width() - 5, 10));
  EXPECT_TRUE(b->IsDropDownPressed());
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->width() - 5, 10));
  EXPECT_FALSE(b->IsDropDownPressed());
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->width() - 30, 10));
  EXPECT_FALSE(b->IsDropDownPressed());
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->width() - 30, 10));
}

TEST(FooButton, ImageSkipsTheTransparentColourAndEmbossesWhenDisabled)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A 10x10 image: magenta border, a red 6x6 centre.
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(QColor(255, 0, 255));
  for (int y = 2; y < 8; ++y)
    for (int x = 2; x < 8; ++x)
      image.setPixel(x, y, qRgb(255, 0, 0));
  ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("90001.png"))));
  QDir::addSearchPath(QStringLiteral("bitmaps"), dir.path());

  Buttons set(1, FooButton::TypeFlat);
  FooButton *b = set.buttons[0];
  b->SetTextStyle(FooButton::TextNone);
  b->SetBitmap(90001, RGB(255, 0, 255));
  b->resize(40, 30);
  QImage shot = b->grab().toImage();
  // Centred horizontally without a caption: x = 15, y = 10.
  EXPECT_EQ(shot.pixelColor(15 + 4, 10 + 4), QColor(255, 0, 0));
  EXPECT_NE(shot.pixelColor(15, 10), QColor(255, 0, 255)) << "transparent pixels are not drawn";

  b->setEnabled(false);
  shot = b->grab().toImage();
  EXPECT_NE(shot.pixelColor(15 + 4, 10 + 4), QColor(255, 0, 0)) << "a disabled image is embossed";
  EXPECT_EQ(shot.pixelColor(15 + 4, 10 + 4), b->palette().color(QPalette::Dark));

  b->SetBitmap(90999); // missing: nothing drawn, nothing breaks
  b->grab();
  QDir::setSearchPaths(QStringLiteral("bitmaps"), {QStringLiteral(":/bitmaps")});
}

TEST(FooButton, LanguageFlagsAreBuiltIn)
{
  FooButton b;
  for (unsigned id = 428; id <= 433; ++id) {
    const QImage flag(QStringLiteral("bitmaps:%1.png").arg(id));
    ASSERT_FALSE(flag.isNull()) << id;
    EXPECT_EQ(flag.pixelColor(0, 0), QColor(255, 0, 255)) << "corners are transparent";
  }
}
