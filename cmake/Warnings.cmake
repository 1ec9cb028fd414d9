# Warnings on every target of ours; third-party headers come in as system headers. They are
# errors only where asked (every preset and CI): a packager's compiler may warn falsely.
option(STATLUME_WERROR "Treat compiler warnings as errors" OFF)

function(statlume_target_settings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow
        $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>
        $<$<BOOL:${STATLUME_WERROR}>:-Werror>)
    target_compile_definitions(${target} PRIVATE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
endfunction()
