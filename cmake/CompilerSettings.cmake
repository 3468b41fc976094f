# One place for the compiler settings every target of the project uses.
add_library(quilba_settings INTERFACE)
target_compile_features(quilba_settings INTERFACE cxx_std_20)
target_compile_options(quilba_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor
    $<$<BOOL:${QUILBA_WERROR}>:-Werror>)
target_compile_definitions(quilba_settings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_USE_QSTRINGBUILDER
    QUILBA_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}"
    QUILBA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    QUILBA_VERSION_MINOR=${PROJECT_VERSION_MINOR})
