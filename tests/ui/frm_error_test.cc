#include "ui/frm_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "rnt/error.h"

namespace rnt::ui {
namespace {

TEST(FrmErrorTest, FirstReferenceLoadsDesignThenRunsTheLoadEvent) {
  FrmError form;
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(form.caption(), "Form3");
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(form.control("OKButton").caption, "OK");
  // The load event clears the design captions and shows the text box.
  EXPECT_EQ(form.control("lblMessage").caption, "");
  EXPECT_EQ(form.control("Capti").caption, "");
  EXPECT_TRUE(form.control("Text1").visible);
  EXPECT_FALSE(form.control("ImgStop").visible);
  // Controls are found whatever the letter case; unknown names are refused.
  EXPECT_EQ(&form.control("lblmessage"), &form.control("LBLMESSAGE"));
  EXPECT_THAT([&] { form.control("Text2"); },
              ::testing::ThrowsMessage<Error>(
                  ::testing::StrEq("the message form has no control named 'Text2'")));
}

TEST(FrmErrorTest, EachClosingEventUnloadsTheFormAndOtherKeysDoNot) {
  const std::vector<std::pair<const char*, std::function<void(FrmError&)>>> closers = {
      {"OK click", [](FrmError& f) { f.ClickOkButton(); }},
      {"Image1 click", [](FrmError& f) { f.ClickImage1(); }},
      {"Escape on the form", [](FrmError& f) { f.KeyDownOnForm(kKeyEscape); }},
      {"Enter in Text1", [](FrmError& f) { f.KeyDownInText1(kKeyEnter); }},
  };
  for (const auto& [name, close] : closers) {
    FrmError form;
    form.Load();
    close(form);
    EXPECT_FALSE(form.loaded()) << name;
    // An event on an unloaded form does not load it again.
    close(form);
    EXPECT_FALSE(form.loaded()) << name;
  }

  FrmError form;
  form.control("lblMessage").caption = "Rent already calculated";
  form.KeyDownOnForm(kKeyEnter);
  form.KeyDownOnForm('A');
  form.KeyDownInText1(kKeyEscape);
  form.KeyDownInText1('A');
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(form.control("lblMessage").caption, "Rent already calculated");
}

TEST(FrmErrorTest, CallerSettingsWinUntilUnloadAndAReloadStartsFromDesign) {
  FrmError form;
  Control& message = form.control("lblMessage");
  message.caption = "first";
  form.control("ImgStop").visible = true;
  form.control("Text1").visible = false;
  // Later references do not run the load event again.
  EXPECT_EQ(form.control("lblMessage").caption, "first");
  EXPECT_FALSE(form.control("Text1").visible);

  form.ClickOkButton();
  EXPECT_EQ(form.caption(), "Form3");  // this reference loads the form afresh
  EXPECT_EQ(message.caption, "");      // the old reference sees the reloaded form
  EXPECT_FALSE(form.control("ImgStop").visible);
  EXPECT_TRUE(form.control("Text1").visible);
}

}  // namespace
}  // namespace rnt::ui
