#include "ui/terminal_presenter.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string_view>

#include "rnt/error.h"
#include "ui/frm_error.h"

namespace rnt::ui {

namespace {

constexpr size_t kMinTextWidth = 30;
constexpr size_t kMaxTextWidth = 72;
constexpr unsigned char kCtrlC = 0x03;
constexpr unsigned char kEscapeByte = 0x1b;

// What the marking pictures look like on a terminal, which has no pictures.
struct Marker {
  std::string_view control;
  std::string_view text;
};
constexpr Marker kMarkers[] = {
    {"ImgStop", "[STOP]"},
    {"ImgSmile", "[:-)]"},
    {"ImgCry", "[:-(]"},
    {"ImgAutoNo", "[AUTO NO]"},
};

// The length of the UTF-8 sequence a byte starts; 0 when it starts none.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead < 0xe0) return 2;
  if (lead >= 0xe0 && lead < 0xf0) return 3;
  if (lead >= 0xf0 && lead < 0xf5) return 4;
  return 0;
}

// Decodes UTF-8 text for display. Captions can carry data typed by users, so
// control characters (which a terminal would obey) and broken sequences
// become '?'; line breaks of any convention become '\n' and tabs a space.
std::u32string DecodeForDisplay(std::string_view text) {
  std::u32string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead == '\r' || lead == '\n') {
      out += U'\n';
      i += (lead == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (lead == '\t') {
      out += U' ';
      ++i;
      continue;
    }
    const size_t length = SequenceLength(lead);
    // The lead byte's own bits: all 7 of a one-byte sequence, fewer the longer it is.
    char32_t code = length <= 1 ? lead : lead & (0x7f >> length);
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xc0) == 0x80;
      code = (code << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates and values past the last code point are as
    // broken as a missing byte.
    valid = valid && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
            !(code >= 0xd800 && code < 0xe000) && code <= 0x10ffff;
    const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
    out += (valid && !control) ? code : U'?';
    i += valid ? length : 1;
  }
  return out;
}

std::string Encode(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xe0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
      out += static_cast<char>(0xf0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return out;
}

// Breaks text into lines of at most `width` characters, at spaces where it
// can and inside a word only when the word alone is too long.
std::vector<std::u32string> Wrap(std::u32string_view text, size_t width) {
  std::vector<std::u32string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = std::min(text.find(U'\n', start), text.size());
    std::u32string_view paragraph = text.substr(start, end - start);
    std::u32string line;
    while (true) {
      const size_t word_start = paragraph.find_first_not_of(U' ');
      if (word_start == std::u32string_view::npos) break;
      paragraph.remove_prefix(word_start);
      std::u32string_view word = paragraph.substr(0, paragraph.find(U' '));
      paragraph.remove_prefix(word.size());
      if (!line.empty() && line.size() + 1 + word.size() > width) {
        lines.push_back(std::move(line));
        line.clear();
      }
      if (!line.empty()) line += U' ';
      while (line.size() + word.size() > width) {
        const size_t room = width - line.size();
        line += word.substr(0, room);
        word.remove_prefix(room);
        lines.push_back(std::move(line));
        line.clear();
      }
      line += word;
    }
    lines.push_back(std::move(line));
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

std::u32string Centred(std::u32string_view text, size_t width) {
  const size_t left = text.size() < width ? (width - text.size()) / 2 : 0;
  return std::u32string(left, U' ') + std::u32string(text);
}

}  // namespace

bool FdKeyboardInput::IsTerminal() const { return isatty(fd_) == 1; }

void FdKeyboardInput::EnterRawMode() {
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) {
    throw Error("cannot read the terminal settings of file descriptor " + std::to_string(fd_) +
                ": " + std::strerror(errno));
  }
  saved_ = settings;
  // Ctrl-C must reach the form as a key: a signal would end the program with
  // the terminal still raw.
  settings.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  // Flushing drops keys typed before the box appeared, so that none of them
  // answers a question the user has not seen yet.
  if (tcsetattr(fd_, TCSAFLUSH, &settings) != 0) {
    saved_.reset();
    throw Error("cannot put the terminal of file descriptor " + std::to_string(fd_) +
                " in raw mode: " + std::strerror(errno));
  }
}

void FdKeyboardInput::LeaveRawMode() {
  if (!saved_) return;
  // Best effort: this runs on the way out of failures too, and a terminal
  // that is gone has nothing left to restore.
  tcsetattr(fd_, TCSANOW, &*saved_);
  saved_.reset();
}

KeyboardInput::Reading FdKeyboardInput::Read(std::optional<std::chrono::milliseconds> wait) {
  while (true) {
    pollfd ready{fd_, POLLIN, 0};
    const int timeout = wait ? static_cast<int>(wait->count()) : -1;
    const int polled = poll(&ready, 1, timeout);
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) {
      throw Error("cannot wait for keys on file descriptor " + std::to_string(fd_) + ": " +
                  std::strerror(errno));
    }
    if (polled == 0) return {Status::kTimedOut};
    unsigned char byte = 0;
    const ssize_t count = read(fd_, &byte, 1);
    if (count == 1) return {Status::kByte, byte};
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    // EIO is a terminal that hung up: as closed as end of file.
    if (count == 0 || errno == EIO) return {Status::kEnded};
    throw Error("cannot read keys from file descriptor " + std::to_string(fd_) + ": " +
                std::strerror(errno));
  }
}

TerminalPresenter::TerminalPresenter(std::unique_ptr<KeyboardInput> input, std::ostream& out)
    : input_(std::move(input)), out_(out) {
  if (!input_) throw Error("a terminal presenter needs a keyboard to read");
}

std::vector<std::string> TerminalPresenter::Render(FrmError& form) {
  const std::u32string title = DecodeForDisplay(form.caption());
  const Control& capti = form.control("Capti");
  const Control& message = form.control("lblMessage");
  const Control& ok = form.control("OKButton");

  // The marking pictures stand before the title line, where the pictures
  // stand on the window.
  std::u32string heading;
  for (const Marker& marker : kMarkers) {
    if (!form.control(marker.control).visible) continue;
    if (!heading.empty()) heading += U' ';
    heading += DecodeForDisplay(marker.text);
  }
  if (capti.visible && !capti.caption.empty()) {
    if (!heading.empty()) heading += U' ';
    heading += DecodeForDisplay(capti.caption);
  }
  const std::u32string message_text =
      message.visible ? DecodeForDisplay(message.caption) : std::u32string();
  const std::u32string button = U"[ " + DecodeForDisplay(ok.caption) + U" ]";

  // As wide as the widest line, within what fits an ordinary terminal.
  size_t width = std::max({kMinTextWidth, title.size(), button.size()});
  for (const std::u32string& text : {heading, message_text}) {
    for (const auto& line : Wrap(text, kMaxTextWidth)) width = std::max(width, line.size());
  }
  width = std::min(width, kMaxTextWidth);

  std::vector<std::u32string> body;
  auto add_block = [&body](std::vector<std::u32string> lines) {
    if (!body.empty()) body.emplace_back();
    body.insert(body.end(), lines.begin(), lines.end());
  };
  if (!heading.empty()) add_block(Wrap(heading, width));
  if (!message_text.empty()) add_block(Wrap(message_text, width));
  if (ok.visible) add_block({Centred(button, width)});

  const std::string rule = "+" + std::string(width + 2, '-') + "+";
  auto framed = [width](std::u32string line) {
    line.resize(width, U' ');
    return "| " + Encode(line) + " |";
  };
  std::vector<std::string> lines{rule};
  for (auto& line : Wrap(title, width)) lines.push_back(framed(line));
  lines.push_back(rule);
  lines.push_back(framed(U""));
  for (auto& line : body) lines.push_back(framed(line));
  lines.push_back(framed(U""));
  lines.push_back(rule);
  return lines;
}

void TerminalPresenter::Show(FrmError& form) {
  for (const std::string& line : Render(form)) out_ << line << '\n';
  out_.flush();
  if (!input_->IsTerminal()) {
    form.ClickOkButton();
    return;
  }

  // Leaves raw mode on every way out of the loop, exceptions included.
  class RawMode {
   public:
    explicit RawMode(KeyboardInput& input) : input_(input) { input_.EnterRawMode(); }
    ~RawMode() { input_.LeaveRawMode(); }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

   private:
    KeyboardInput& input_;
  };
  RawMode raw(*input_);
  while (form.loaded()) {
    const KeyboardInput::Reading reading = input_->Read(std::nullopt);
    if (reading.status == KeyboardInput::Status::kEnded) {
      // Nobody is left to close the form; a modal show must still return.
      form.ClickOkButton();
    } else if (reading.status == KeyboardInput::Status::kByte) {
      HandleKey(form, reading.byte);
    }
  }
}

void TerminalPresenter::HandleKey(FrmError& form, unsigned char byte) {
  switch (byte) {
    case '\r':
    case '\n':
      // The text box holds the focus; with the text box hidden, Enter presses
      // the OK button.
      if (form.control("Text1").visible) {
        form.KeyDownInText1(kKeyEnter);
      } else if (form.control("OKButton").visible) {
        form.ClickOkButton();
      }
      break;
    case kEscapeByte:
      HandleEscape(form);
      break;
    case kCtrlC:
      form.KeyDownOnForm(kKeyEscape);
      break;
    default:
      break;
  }
}

void TerminalPresenter::HandleEscape(FrmError& form) {
  const KeyboardInput::Reading next = input_->Read(kEscapeSequenceWait);
  if (next.status != KeyboardInput::Status::kByte) {
    // A lone Escape byte is the Escape key.
    form.KeyDownOnForm(kKeyEscape);
    return;
  }
  if (next.byte != '[' && next.byte != 'O') {
    // Escape and then another key: both were typed, and Escape comes first.
    form.KeyDownOnForm(kKeyEscape);
    return;
  }
  // An arrow, function or editing key: its sequence ends with a byte from
  // '@' to '~'. These keys do nothing on the form.
  while (true) {
    const KeyboardInput::Reading part = input_->Read(kEscapeSequenceWait);
    if (part.status != KeyboardInput::Status::kByte) return;
    if (part.byte >= '@' && part.byte <= '~') return;
  }
}

}  // namespace rnt::ui
