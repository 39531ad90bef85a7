// The leak checker of a sanitized test run reads the known leaks of the
// libraries below the add-on from tests/lsan_suppressions.txt, whoever starts
// the tests.
#ifdef RNT_LSAN_SUPPRESSIONS
extern "C" const char* __lsan_default_options() {
  return "suppressions=" RNT_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
#endif
