// telvora: records district award credits in the companion logger's awards database.
#include "app/qt/program.h"

int main(int argc, char** argv) {
    return telvora::app::RunProgram(argc, argv);
}
