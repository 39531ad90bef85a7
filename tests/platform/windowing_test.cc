#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "platform/default_windowing.h"
#include "platform/recording_windowing.h"
#include "rnt/error.h"
#include "ui/frm_error.h"

namespace rnt::platform {
namespace {

using ui::CloseAction;
using ui::FrmError;

// What the rent engine does to refuse a rent date: refer to the form, set its
// title and message, mark the refusal and show it.
void ShowRefusal(Windowing& windowing, FrmError& form, const std::string& date) {
  form.control("Capti").caption = "Invalid Data !!";
  form.control("lblMessage").caption = "Rent is already calculated on " + date;
  form.control("ImgStop").visible = true;
  windowing.ShowModal(form);
}

TEST(RecordingWindowingTest, SecondRefusalShowsTheFormAfreshAndPausesAreNotWaited) {
  RecordingWindowing windowing;
  FrmError form;
  form.control("ImgSmile").visible = true;  // left over from an earlier use
  ShowRefusal(windowing, form, "01-04-2021");
  EXPECT_FALSE(form.loaded());
  const auto start = std::chrono::steady_clock::now();
  windowing.SetMousePointer(kHourglassPointer);
  windowing.Yield();
  windowing.Sleep(4000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  windowing.presenter().set_close_action(CloseAction::kEnterInText1);
  ShowRefusal(windowing, form, "15-05-2021");
  EXPECT_FALSE(form.loaded());

  EXPECT_EQ(windowing.events(),
            (std::vector<std::string>{"show Invalid Data !!", "pointer 11", "yield", "sleep 4000",
                                      "show Invalid Data !!"}));
  const auto& shown = windowing.presenter().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].message, "Rent is already calculated on 01-04-2021");
  EXPECT_TRUE(shown[0].IsVisible("ImgSmile"));
  const ui::FormSnapshot& second = shown[1];
  EXPECT_EQ(second.caption, "Form3");
  EXPECT_EQ(second.title, "Invalid Data !!");
  EXPECT_EQ(second.message, "Rent is already calculated on 15-05-2021");
  EXPECT_EQ(second.visible_controls,
            (std::vector<std::string>{"OKButton", "Picture1", "Capti", "Image1", "Text1", "ImgStop",
                                      "lblMessage"}));
}

TEST(DefaultWindowingTest, RemembersThePointerAndReallySleeps) {
  const auto windowing = MakeDefaultWindowing();
  auto* standard = dynamic_cast<DefaultWindowing*>(windowing.get());
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(standard->pointer(), kDefaultPointer);
  windowing->Yield();
  windowing->SetMousePointer(kHourglassPointer);
  EXPECT_EQ(standard->pointer(), kHourglassPointer);

  const auto start = std::chrono::steady_clock::now();
  windowing->Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  try {
    windowing->Sleep(-1);
    FAIL() << "a negative pause was accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "cannot pause for a negative time: -1 ms");
  }
}

TEST(DefaultWindowingTest, ShowsOnTheTerminalAndDoesNotWaitForAPipe) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::ostringstream out;
  DefaultWindowing windowing(std::make_unique<ui::FdKeyboardInput>(fds[0]), out);
  FrmError form;
  ShowRefusal(windowing, form, "01-04-2021");
  EXPECT_FALSE(form.loaded());
  EXPECT_NE(out.str().find("Rent is already calculated on 01-04-2021"), std::string::npos);
  EXPECT_NE(out.str().find("[STOP]"), std::string::npos);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace rnt::platform
