// Tags from file names by a pattern, and the cover pictures of the tags.
#include "Cli.h"
#include "Cover.h"
#include "FileNames.h"
#include "FilePath.h"
#include "NamePattern.h"
#include "TagError.h"
#include "TagText.h"
#include "TagWrite.h"

namespace melotag::cli {

using namespace editor;

namespace {

// "title=Song, track=3": the values a name gave, in the pattern's order.
QString ValuesText(const TNamePattern& pattern, const TFieldValues& values) {
  QStringList parts;
  for (const TField field : pattern.Fields()) {
    const QString placeholder = PlaceholderOf(field);
    parts << placeholder.mid(1, placeholder.size() - 2) + '=' + values[field].value_or(QString());
  }
  return parts.join(QStringLiteral(", "));
}

QString PictureLine(const TPicture& picture) {
  if (picture.TooLarge)
    return QStringLiteral("  a compressed picture too large to inflate, kept as it is\n");
  QString line = QStringLiteral("  type %1, %2, %3 bytes")
                     .arg(picture.Type)
                     .arg(picture.Mime)
                     .arg(picture.Size);
  if (picture.Image && picture.Image->Width > 0)
    line += QStringLiteral(", %1x%2").arg(picture.Image->Width).arg(picture.Image->Height);
  if (!picture.Description.isEmpty()) line += QStringLiteral(", \"%1\"").arg(picture.Description);
  return line + '\n';
}

// The file's cover written into the folder as <name without .mp3>.jpg or .png, never over an
// existing file; why not, or empty.
QString Extract(const QByteArray& path, const QByteArray& folder) {
  tags::TFrameTag tag;
  if (!tags::ReadFrameTag(TagPath(path), tag)) return QStringLiteral("the tags cannot be read");
  const std::optional<TPicture> cover = CoverOf(tag);
  if (!cover)
    return PicturesOf(tag).empty()
               ? QStringLiteral("the tags hold no picture")
               : QStringLiteral("the tags hold no picture small enough to inflate");
  QByteArray name = FileNamePart(path);
  if (name.toLower().endsWith(".mp3")) name.chop(4);
  const QByteArray out = JoinPath(
      folder, name + ImageSuffix(cover->Image ? cover->Image->Mime : cover->Mime).toUtf8());
  if (PathStatus(out)) return NameCaption(out) + QStringLiteral(": a file of that name exists");
  const QString error = WriteFileAtomically(out, cover->Data);
  return error.isEmpty() ? QString() : NameCaption(out) + ": " + error;
}

std::optional<QByteArray> ReadImage(TContext& context, const QByteArray& path) {
  TImageFile image = ReadImageFile(path);
  if (image.Problem != TImageFile::None) {
    context.Fail(path, QStringLiteral("the image ") + image.Reason());
    return std::nullopt;
  }
  return std::move(image.Bytes);
}

}  // namespace

int RunTagsFromNames(TContext& context) {
  const TArguments& args = context.Args();
  const TNamePattern pattern = PatternArgument(args);
  const TTagChoice tags = ChosenTags(args);
  const bool dryRun = args.Has("--dry-run");
  const TFileListing& files = context.Files(args.Operands());
  const auto planOf = [&](const QByteArray& path) {
    return PlanTagsFromNames({path}, pattern).value(0).Values;
  };
  const QString mismatch = QStringLiteral("the name does not match the pattern");
  if (dryRun) {
    for (int i = 0; i < files.Count(); ++i) {
      const QByteArray& path = files.Path(i);
      if (const std::optional<TFieldValues> values = planOf(path))
        Print(stdout, NameCaption(path) + ": " + ValuesText(pattern, *values) + '\n');
      else
        context.Fail(path, mismatch);
    }
    return context.ExitStatus();
  }
  bool noted = false;
  int keptTexts = 0;
  const TPassResult result =
      EachFile(context, QStringLiteral("the ID3v2 tag"), [&](int, const QByteArray& path) {
        const std::optional<TFieldValues> values = planOf(path);
        if (!values) return TPassStep{false, 0, mismatch};
        // Once, for the first file whose values an ID3v1 tag cannot take.
        if (tags.V1 && !noted && !context.Unicode().Exact())
          noted = NoteTrailerLacks(context, *values);
        const TNameTagsOutcome outcome =
            WriteValuesOfName(path, *values, tags.V1, tags.V2, context.Unicode());
        keptTexts += outcome.KeptTexts ? 1 : 0;
        return TPassStep{outcome.Failed.isEmpty(), outcome.Dropped,
                         outcome.Failed.isEmpty() ? QString() : WriteFailure(path, outcome.Failed)};
      });
  NoteKeptTexts(context, keptTexts);
  if (result.Dropped > 0)
    context.Note(QString::number(result.Dropped) +
                 " frame(s) without a place in the tags were dropped");
  return context.ExitStatus();
}

int RunCover(TContext& context) {
  const TArguments& args = context.Args();
  const QByteArray action = args.OneOf({"--set", "--extract", "--remove"}, "");
  std::optional<QByteArray> image;
  if (action == "--set" && !(image = ReadImage(context, *args.Value("--set"))))
    return context.ExitStatus();
  const TFileListing& files = context.Files(args.Operands());
  if (action == "--extract") {
    const QByteArray folder = *args.Value("--extract");
    if (!IsFolder(folder)) throw EUsage("--extract needs an existing folder");
    for (int i = 0; i < files.Count(); ++i) {
      const QByteArray& path = files.Path(i);
      QString error;
      if (const QString lack = CatchAllocationFailure(path, [&] { error = Extract(path, folder); });
          !lack.isEmpty())
        error = QStringLiteral("the picture cannot be extracted: ") + lack;
      if (!error.isEmpty()) context.Fail(path, error);
    }
    return context.ExitStatus();
  }
  if (action.isEmpty()) {
    for (int i = 0; i < files.Count(); ++i) {
      const QByteArray& path = files.Path(i);
      std::optional<std::vector<TPicture>> pictures;
      melotag::tags::ClearError();
      if (const QString lack =
              CatchAllocationFailure(path, [&] { pictures = ReadPictures(TagPath(path)); });
          !lack.isEmpty() || !pictures) {
        context.Fail(path, QStringLiteral("the tags cannot be read") +
                               (lack.isEmpty() ? QString() : QStringLiteral(": ") + lack));
        continue;
      }
      QString text = NameCaption(path) + '\n';
      QStringList tooLarge;
      for (const TPicture& picture : *pictures) {
        text += PictureLine(picture);
        if (picture.TooLarge) tooLarge << QStringLiteral("APIC");
      }
      if (pictures->empty()) text += QStringLiteral("  no picture\n");
      Print(stdout, text);
      if (!tooLarge.isEmpty()) context.Note(NameCaption(path) + ": " + TooLargeNote(tooLarge));
    }
    return context.ExitStatus();
  }
  EachFile(context, QStringLiteral("the ID3v2 tag"), [&](int, const QByteArray& path) {
    const TWriteOutcome outcome = !FileExists(path) ? TWriteOutcome{}
                                  : image           ? SetFrontCover(TagPath(path), *image)
                                                    : RemoveCover(TagPath(path), true);
    return TPassStep{outcome.Ok, outcome.Dropped,
                     outcome.Ok ? QString() : WriteFailure(path, QStringLiteral("the ID3v2 tag"))};
  });
  return context.ExitStatus();
}

}  // namespace melotag::cli
