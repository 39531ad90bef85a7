#include <gmock/gmock.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "platform/default_windowing.h"
#include "platform/recording_windowing.h"
#include "rnt/error.h"
#include "ui/frm_error.h"

namespace rnt::platform {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;
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
  const auto start = std::chrono::steady_clock::now();
  windowing.Sleep(4000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  windowing.presenter().set_close_action(ui::CloseAction::kEnterInText1);
  ShowRefusal(windowing, form, "15-05-2021");
  EXPECT_FALSE(form.loaded());

  EXPECT_EQ(windowing.events(), (std::vector<std::string>{"show Invalid Data !!", "sleep 4000",
                                                          "show Invalid Data !!"}));
  const auto& shown = windowing.presenter().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0].IsVisible("ImgSmile"));
  EXPECT_EQ(shown[1].message, "Rent is already calculated on 15-05-2021");
  EXPECT_EQ(shown[1].visible_controls,
            (std::vector<std::string>{"OKButton", "Picture1", "Capti", "Image1", "Text1", "ImgStop",
                                      "lblMessage"}));
}

TEST(DefaultWindowingTest, RemembersThePointerReallySleepsAndPrintsTheFormOnceForAPipe) {
  EXPECT_NE(dynamic_cast<DefaultWindowing*>(MakeDefaultWindowing().get()), nullptr);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // open at both ends: a read would wait for ever
  std::ostringstream out;
  DefaultWindowing windowing(std::make_unique<ui::FdKeyboardInput>(fds[0]), out);
  EXPECT_EQ(windowing.pointer(), kDefaultPointer);
  windowing.SetMousePointer(kHourglassPointer);
  EXPECT_EQ(windowing.pointer(), kHourglassPointer);
  const auto start = std::chrono::steady_clock::now();
  windowing.Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_THAT([&] { windowing.Sleep(-1); },
              ThrowsMessage<Error>(StrEq("cannot pause for a negative time: -1 ms")));
  // Nobody answers on a pipe: the form is printed once and closed.
  FrmError form;
  ShowRefusal(windowing, form, "01-04-2021");
  EXPECT_FALSE(form.loaded());
  const std::string text = out.str();
  for (const char* part : {"| Form3 ", "Invalid Data !!", "[STOP]", "[ OK ]",
                           "Rent is already calculated on 01-04-2021"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << " missing from\n" << text;
  }
  EXPECT_LT(text.find("Form3"), text.find("Invalid Data !!"));
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace rnt::platform
