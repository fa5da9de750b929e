#include "viewer/viewer_app.h"

int main(int argc, char** argv) {
  return runViewer(argc, argv);
}
