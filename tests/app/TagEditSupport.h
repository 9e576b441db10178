// What the tag panel and batch suites share: tagged MP3 files in the temporary folder, a window
// listing them, and what the window said.
#pragma once

#include <cstdint>
#include <string>

#include "AppTestSupport.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "TagTestSupport.h"

// The values of a fixture's tags.
struct TSong {
  std::string Title, Artist, Album, Year, Comment;
  uint8_t Track = 0;
  std::string Genre;         // ID3v2
  uint8_t GenreIndex = 255;  // ID3v1
};

class TagEditTest : public MainFormTest {
 protected:
  // Writes `name`: the audio, an ID3v2.3 tag of `song` in front when `v2`, its ID3v1 trailer
  // behind when `v1`.
  void Song(const QString& name, const TSong& song, bool v1, bool v2);
  // Writes `name`: `front`, the audio, `back`.
  void RawSong(const QString& name, const std::string& front, const std::string& back = {});
  std::string Bytes(const QString& name) const { return tagtest::ReadBytes(P(name)); }
  std::string P(const QString& name) const { return Path(name).toStdString(); }
  TID3v1 V1(const QString& name) const;
  TID3v2 V2(const QString& name) const;

  // A new window listing the temporary folder; nothing selected.
  TMainForm& ListFolder();
  // The texts of the dialogs shown since the last call.
  QStringList Said();
  QString Text(const char* edit) const;
  void Trigger(const char* action);
  void SetReading(int item);
  void SetWriting(int item);
  // Unticks the Unicode options of the window: tags are read and written by the tag classes.
  void Exact();
  QString Status() const;

  const std::string Audio = tagtest::MpegAudio(2);
};

// The bytes of a one-colour image of that size in a format Qt writes ("JPG", "PNG").
QByteArray ImageBytes(int width, int height, const char* format);

// The texts of the window's messages and questions.
namespace Says {
inline const QString NoFile = QStringLiteral("The file does not exist");
inline const QString CannotRead = QStringLiteral("Can not read tag from the file");
inline const QString CannotSave = QStringLiteral("Can not save tag to the file");
inline const QString CannotRemove = QStringLiteral("Can not remove tag from the file");
inline const QString ReadOnly = QStringLiteral(
    "The file is read-only. Applications can read the file but cannot write to it or delete it.");
// The read-only question and the removal question about a file.
QString ReadOnlyQuestion(const QString& path);
QString RemoveQuestion(const QString& path);
// A failure on one file: the message, then on a line of its own the file and the system's reason.
QString Failure(const QString& message, const QString& path, const QString& reason);
inline const QString Missing = QStringLiteral("No such file or directory");
inline const QString NotRegular = QStringLiteral("not a regular file");
inline const QString TooShort = QStringLiteral("the file is shorter than its tag");
inline const QString NoTag = QStringLiteral("the file has no such tag");
}  // namespace Says
