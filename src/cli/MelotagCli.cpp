// melotag-cli: the program. No window and no single instance; the arguments are taken as the
// exact bytes they were given, file names and texts alike.
#include <QList>

#include "Cli.h"

int main(int argc, char** argv) {
  QList<QByteArray> arguments;
  arguments.reserve(argc);
  for (int i = 0; i < argc; ++i) arguments.append(QByteArray(argv[i]));
  return melotag::cli::Main(arguments);
}
