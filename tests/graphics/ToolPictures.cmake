# Makes the GIF and WebP files of test_gif_webp.cpp with Debian's tools:
#   cmake -DOUT=<folder> -DCONVERT=<convert> -DCWEBP=<cwebp> -DGIF2WEBP=<gif2webp> -P ToolPictures.cmake
# A file whose tool is missing is not made, and the test that reads it is
# skipped. A tool that fails stops the build.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/src)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${OUT} RESULT_VARIABLE rv ERROR_VARIABLE err)
  if(NOT rv EQUAL 0)
    message(FATAL_ERROR "ToolPictures: '${ARGN}' failed (${rv}): ${err}")
  endif()
endfunction()

# 3 x 2 with one transparent pixel (top right).
file(WRITE ${OUT}/src/transparent.txt "# ImageMagick pixel enumeration: 3,2,255,srgba
0,0: (255,0,0,255)
1,0: (0,255,0,255)
2,0: (0,0,255,0)
0,1: (10,20,30,255)
1,1: (200,100,50,255)
2,1: (255,255,255,255)
")
# 2 x 10, row y of colour (25y, 255 - 25y, 100 + 50x): every row its own.
set(rows "# ImageMagick pixel enumeration: 2,10,255,srgb\n")
foreach(y RANGE 9)
  math(EXPR r "25 * ${y}")
  math(EXPR g "255 - 25 * ${y}")
  string(APPEND rows "0,${y}: (${r},${g},100)\n1,${y}: (${r},${g},150)\n")
endforeach()
file(WRITE ${OUT}/src/rows.txt "${rows}")

if(CONVERT)
  run(${CONVERT} txt:src/transparent.txt transparent.gif)
  run(${CONVERT} txt:src/rows.txt -interlace GIF interlaced.gif)
  # A 2 x 2 orange frame at (2, 1) on a 5 x 4 screen.
  run(${CONVERT} -size 2x2 "xc:#FF8000" -repage 5x4+2+1 offset.gif)
  run(${CONVERT} -delay 10 -size 3x3 xc:red xc:blue -loop 0 animated.gif)
  run(${CONVERT} txt:src/rows.txt src/rows.png)
  # Left half red, right half blue.
  run(${CONVERT} -size 16x16 "xc:rgb(200,40,40)" -fill "rgb(40,40,200)"
      -draw "rectangle 8,0 15,15" src/halves.png)
  # Left half transparent; right half green, opaque above, half transparent below.
  run(${CONVERT} -size 16x16 xc:none -fill "rgb(40,160,80)" -draw "rectangle 8,0 15,7"
      -fill "rgba(40,160,80,0.5)" -draw "rectangle 8,8 15,15" src/alpha.png)
  # Two frames: a 2 x 2 orange one at (2, 2) on a 6 x 5 screen, then all blue.
  run(${CONVERT} -delay 10 "(" -size 2x2 "xc:#FF8000" -repage 6x5+2+2 ")"
      "(" -size 6x5 xc:blue -repage 6x5+0+0 ")" -loop 0 src/animated.gif)
  if(CWEBP)
    run(${CWEBP} -quiet -q 90 src/halves.png -o lossy.webp)
    run(${CWEBP} -quiet -lossless src/rows.png -o lossless.webp)
    run(${CWEBP} -quiet -q 90 src/alpha.png -o alpha.webp)
  endif()
  if(GIF2WEBP)
    run(${GIF2WEBP} -quiet src/animated.gif -o animated.webp)
  endif()
endif()
