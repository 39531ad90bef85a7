#include "ui/frm_error.h"

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

  std::vector<std::string> names;
  for (const Control& c : form.controls()) names.push_back(c.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"OKButton", "Picture1", "Capti", "Image1", "Text1", "ImgStop",
                                      "ImgSmile", "ImgCry", "ImgAutoNo", "lblMessage"}));
  EXPECT_EQ(form.control("OKButton").kind, ControlKind::kCommandButton);
  EXPECT_EQ(form.control("OKButton").caption, "OK");
  EXPECT_EQ(form.control("Text1").kind, ControlKind::kTextBox);
  // The load event clears the design captions and shows the text box.
  EXPECT_EQ(form.control("lblMessage").caption, "");
  EXPECT_EQ(form.control("Capti").caption, "");
  EXPECT_TRUE(form.control("Text1").visible);
  EXPECT_FALSE(form.control("ImgStop").visible);
}

TEST(FrmErrorTest, ControlsAreFoundIgnoringCaseAndUnknownNamesAreRefused) {
  FrmError form;
  EXPECT_EQ(&form.control("lblmessage"), &form.control("LBLMESSAGE"));
  try {
    form.control("Text2");
    FAIL() << "an unknown control was found";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "the message form has no control named 'Text2'");
  }
}

TEST(FrmErrorTest, EachClosingEventUnloadsTheForm) {
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
}

TEST(FrmErrorTest, OtherKeysLeaveTheFormAsItIs) {
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
  form.control("ImgSmile").visible = true;
  form.control("Text1").visible = false;
  form.control("OKButton").caption = "Close";
  // Later references do not run the load event again.
  EXPECT_EQ(form.control("lblMessage").caption, "first");
  EXPECT_FALSE(form.control("Text1").visible);

  form.ClickOkButton();
  EXPECT_EQ(form.caption(), "Form3");
  EXPECT_EQ(message.caption, "");  // the old reference sees the reloaded form
  EXPECT_FALSE(form.control("ImgStop").visible);
  EXPECT_FALSE(form.control("ImgSmile").visible);
  EXPECT_TRUE(form.control("Text1").visible);
  EXPECT_EQ(form.control("OKButton").caption, "OK");
}

}  // namespace
}  // namespace rnt::ui
