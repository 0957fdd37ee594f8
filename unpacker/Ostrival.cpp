// Ostrival: the first-run unpacker of the workstation.
#include <vcl/Forms.h>

#include "OstrivalForm.h"

int main() {
  try {
    Application->Initialize();
    Application->CreateForm(OstrivalForm);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
