#include "settings_file.h"
#include "start_up.h"

int main(int argc, char* argv[]) {
    // Settings files are mapped, not copied: a file that shrinks meanwhile
    // must then not end the program.
    korvane::guardMappedFiles();
    return startup::run(argc, argv);
}
