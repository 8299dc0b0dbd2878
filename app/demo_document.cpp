#include "demo_document.h"

#include <string>

#include "c4d_basedocument.h"
#include "c4d_basematerial.h"
#include "c4d_shader.h"
#include "host_document_file.h"
#include "run_command.h"

// A small studio: a camera, a key light with its light tag, a sun for the sky, a floor with a
// checker image, a cube in a host standard material, an instance of the cube, a plinth in a baked
// host gradient, a backdrop in a blend of OVL noise and gradient, and the render-settings video
// post lighting the scene with sun and sky.
const char kDemoDocument[] = R"json({
  "name": "demo.c4d",
  "fps": 30,
  "frame": 0,
  "objects": [
    { "type": 5103, "name": "Camera",
      "matrix": { "off": [0, 150, -600], "v1": [1, 0, 0], "v2": [0, 0.9701, 0.2425], "v3": [0, -0.2425, 0.9701] },
      "tags": [ { "type": 1022083, "name": "Orvane Camera" } ] },
    { "type": 5102, "name": "Key Light", "position": [300, 400, -300],
      "parameters": { "90000": { "vector": [1, 0.95, 0.9] }, "90001": { "real": 1.0 }, "90002": { "long": 0 } },
      "tags": [ { "type": 1020892, "name": "Orvane Light",
                  "parameters": { "1215": { "long": 1218 }, "1224": { "real": 4500.0 }, "1313": { "long": 1 } } } ] },
    { "type": 5102, "name": "Sun", "enabled": false,
      "matrix": { "v1": [1, 0, 0], "v2": [0, 0.7071, 0.7071], "v3": [0, -0.7071, 0.7071] },
      "parameters": { "90002": { "long": 3 } } },
    { "type": 5100, "name": "Floor",
      "points": [[-500, 0, -500], [-500, 0, 500], [500, 0, 500], [500, 0, -500]],
      "polygons": [[0, 1, 2, 3]],
      "tags": [
        { "type": 5671, "name": "UVW", "uvw": [[[0, 0, 0], [0, 4, 0], [4, 4, 0], [4, 0, 0]]] },
        { "type": 5616, "name": "Texture", "parameters": { "1010": { "material": "Checker" } } }
      ] },
    { "type": 5100, "name": "Cube", "position": [0, 50, 0],
      "points": [[-50, -50, -50], [-50, 50, -50], [50, -50, -50], [50, 50, -50],
                 [50, -50, 50], [50, 50, 50], [-50, -50, 50], [-50, 50, 50]],
      "polygons": [[0, 1, 3, 2], [2, 3, 5, 4], [4, 5, 7, 6], [6, 7, 1, 0], [1, 7, 5, 3], [6, 0, 2, 4]],
      "tags": [
        { "type": 5671, "name": "UVW",
          "uvw": [
            [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]],
            [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]],
            [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]] ] },
        { "type": 5616, "name": "Texture", "parameters": { "1010": { "material": "Red" } } }
      ] },
    { "type": 1022273, "name": "Cube Instance", "position": [200, 50, 150],
      "parameters": { "10000": { "link": "Cube" } } },
    { "type": 5100, "name": "Plinth", "position": [-220, 40, 100],
      "points": [[-40, -40, -40], [-40, 40, -40], [40, -40, -40], [40, 40, -40],
                 [40, -40, 40], [40, 40, 40], [-40, -40, 40], [-40, 40, 40]],
      "polygons": [[0, 1, 3, 2], [2, 3, 5, 4], [4, 5, 7, 6], [6, 7, 1, 0], [1, 7, 5, 3], [6, 0, 2, 4]],
      "tags": [
        { "type": 5671, "name": "UVW",
          "uvw": [
            [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]], [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]],
            [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]], [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]],
            [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]], [[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]] ] },
        { "type": 5616, "name": "Texture", "parameters": { "1010": { "material": "Sunset" } } }
      ] },
    { "type": 5100, "name": "Backdrop",
      "points": [[-500, 0, 450], [-500, 500, 450], [500, 500, 450], [500, 0, 450]],
      "polygons": [[0, 1, 2, 3]],
      "tags": [
        { "type": 5671, "name": "UVW", "uvw": [[[0, 1, 0], [0, 0, 0], [1, 0, 0], [1, 1, 0]]] },
        { "type": 5616, "name": "Texture", "parameters": { "1010": { "material": "Swirl" } } }
      ] }
  ],
  "sceneCamera": "Camera",
  "materials": [
    { "type": 5703, "name": "Red", "parameters": { "2100": { "vector": [0.8, 0.1, 0.1] } } },
    { "type": 1024337, "name": "Checker",
      "parameters": { "6003": true,
                      "6118": { "shader": { "type": 5833, "name": "Checker Image",
                                            "parameters": { "1000": { "filename": "checker.png" } } } } } },
    { "type": 1024337, "name": "Sunset",
      "parameters": { "6003": true, "6265": 256, "6266": 128,
                      "6118": { "shader": { "type": 1011100, "name": "Sunset Gradient",
                                            "parameters": { "1000": [0.9, 0.35, 0.1], "1001": [0.2, 0.1, 0.5],
                                                            "1002": 1 } } } } },
    { "type": 1024337, "name": "Swirl",
      "parameters": { "6003": true,
                      "6118": { "shader": { "type": 1024769, "name": "Blend",
                                            "parameters": { "1602": 1603, "1606": 0.5,
                                                            "1600": { "shader": { "type": 1024768, "name": "Noise",
                                                                                  "parameters": { "1506": [2, 2, 2] } } },
                                                            "1601": { "shader": { "type": 1024770, "name": "Gradient",
                                                                                  "parameters": { "1604": 1603 } } } } } } } }
  ],
  "renderData": {
    "parameters": { "5008": { "long": 800 }, "5009": { "long": 600 },
                    "5017": { "time": 0.0 }, "5018": { "time": 0.0 } },
    "videoPosts": [ { "type": 1020896, "parameters": { "1334": { "long": 1335 }, "1368": { "long": 1364 },
                                                     "1301": { "link": "Sun" }, "1411": "Key" } } ]
  }
})json";

namespace {

// Points every bitmap shader under `shader` (and its siblings) that names a file by a relative
// name at that file in `folder`.
void ResolveBitmaps(BaseShader* shader, const Filename& folder) {
  for (; shader; shader = shader->GetNext()) {
    if (shader->GetType() == Xbitmap) {
      BaseContainer* data = shader->GetDataInstance();
      const Filename name = data->GetFilename(BITMAPSHADER_FILENAME);
      const String text = name.GetString();
      if (name.Content() && !(text.GetLength() > 0 && text[0] == '/'))
        data->SetFilename(BITMAPSHADER_FILENAME, folder + name);
    }
    ResolveBitmaps(shader->GetDown(), folder);
  }
}

}  // namespace

BaseDocument* LoadDemoDocument(const std::string& resourceDir, std::string* error) {
  BaseDocument* doc = host::LoadDocumentText(kDemoDocument, "demo document", error);
  if (!doc) return nullptr;
  // Absolute, so that the scene names the image wherever the renderer runs.
  std::string absolute;
  const Filename folder{String(FromHere(resourceDir, &absolute) ? absolute : resourceDir)};
  for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
    ResolveBitmaps(static_cast<BaseShader*>(m->GetDown()), folder);
  return doc;
}
