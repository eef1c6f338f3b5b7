#pragma once
// Capture files: the text of a traffic window kept on disk. The format is what other
// installations write and read: the text in GBK, written as a text-mode stream writes it
// (every line feed as carriage return + line feed, so the window's "\r\n" line ends
// become 0D 0D 0A), with no header or terminator; read back in text mode (CR LF read as
// LF, other CRs kept, an octet 1A ends the file).
#include <cstddef>
#include <string>
#include <string_view>

constexpr std::size_t kCaptureReadMax = 8192;  // octets the viewer takes, after translation

// The octets of a capture of this window text (UTF-8, "\r\n" line ends).
std::string EncodeCapture(std::string_view utf8Text);

// The text the viewer shows from a capture file's octets, as UTF-8: the text-mode
// translation, at most kCaptureReadMax octets (a double-octet character is never split),
// the text ending at a NUL. Octets that are not GBK become U+FFFD one by one.
std::string DecodeCapture(std::string_view fileOctets);

// Writes the capture of the text to the path, replacing the file. The old file stays as
// it was unless the new one was written whole. False with a one-line reason on failure.
bool WriteCaptureFile(const std::string& path, std::string_view utf8Text, std::string& reason);
// Reads what the viewer shows from the path. False with a one-line reason on failure.
bool ReadCaptureFile(const std::string& path, std::string& utf8Text, std::string& reason);

// The viewer's edit control breaks lines only at CR LF, as the platform's does: a lone
// CR or LF shows nothing. Returns the text with "\n" at each CR LF and the lone ones gone.
std::string ViewerLines(std::string_view text);
