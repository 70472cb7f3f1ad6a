# Warnings set once and applied to every target of the project.
add_library(quelma_warnings INTERFACE)
target_compile_options(quelma_warnings INTERFACE -Wall -Wextra)

# Results must be bit-identical on every machine: no fused multiply-adds behind our back.
add_compile_options(-ffp-contract=off)
