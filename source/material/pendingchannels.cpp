// Stand-ins for the OVL embedding and the OVL shader family's type test, until they are merged:
// the embedding writes nothing yet, the type test knows the four generated shader types.
#include "material/customorvanematerial.h"

Bool IsOVLShader(BaseShader* sh) {
  return sh && (sh->IsInstanceOf(ID_OVLNOISE) || sh->IsInstanceOf(ID_OVLBLEND) ||
                sh->IsInstanceOf(ID_OVLGRADIENT) || sh->IsInstanceOf(ID_OVLNORMAL));
}

int CustomOrvaneMaterial::ExportShader(TiXmlElement*, TiXmlElement*, BaseShader*, int&, std::string,
                                       OVLReturnType) {
  return 0;
}
