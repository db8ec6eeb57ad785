#pragma once
// Remote pictures for the image loader's tests and benchmark, under "/images/":
//   png/<name>.png, jpeg/<name>.jpg  a small picture drawn from the name (48x48 unless the
//                                    query says "size=<n>", at most 512), the same bytes for the
//                                    same name: any number of distinct images
//   webp/<name>.webp                 "image/webp" bytes (a type the loader does not accept)
//   wrong-type/<name>                PNG bytes sent as "text/plain"
//   empty/<name>.png                 "image/png" with no body
//   missing/<name>                   404
//   slow/<ms>/<name>.png             the PNG after a wait (at most 5 s)
//   hostile/truncated.png, hostile/truncated.jpg   the first half of a picture
//   hostile/huge.png                 a valid PNG header announcing 100000 x 100000 pixels
//   hostile/zero.png                 4 KiB of zero bytes as "image/png"
// Every reply carries an ETag; "ETag" names the path.
#include "demo-service/DemoService.h"

namespace demo {

void registerImagePaths(DemoService& service);

}  // namespace demo
