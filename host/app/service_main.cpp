#include "host/app/host_app.h"

int main(int argc, char** argv) {
  return runBrimwelld(argc, argv);
}
