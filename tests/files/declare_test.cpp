// External functions bound from a shared library the tests build
// (libmxtsample.so), under Windows-style names.
#include <gtest/gtest.h>

#include "files_support.h"
#include "runtime/base/singletons.h"
#include "runtime/files/declare.h"
#include "support/child.h"
#include <moxtril.h>

using namespace mxt;

namespace {

using AddFn = int (*)(int, int);
using AnswerFn = int (*)();

class Declare : public files_test::ScratchTest {
 protected:
  void TearDown() override {
    mxt_unload_declares();
    ScratchTest::TearDown();
  }
  std::string log() const { return mxt_test::read_file(temp() + "/ErrorLog.txt"); }
  static RtString sample(const char* file) { return RtString((std::string(MXT_DECLARE_DIR) + "/" + file).c_str()); }
};

}  // namespace

TEST_F(Declare, TwoNamesDifferingInCaseLoadTheLibraryOnce) {
  AddFn add = reinterpret_cast<AddFn>(1);
  AnswerFn answer = nullptr;
  mxt_declare(sample("MxtSample.dll"), "mxt_sample_add", reinterpret_cast<void**>(&add));
  EXPECT_EQ(add, nullptr);  // null until bound
  mxt_declare(sample("mxtsample.DLL"), "mxt_sample_answer", reinterpret_cast<void**>(&answer));
  mxt_bind_declares();
  ASSERT_NE(add, nullptr);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(add(2, 3), 5);
  EXPECT_EQ(answer(), 42);
  ASSERT_NE(rt.declares, nullptr);
  EXPECT_EQ(rt.declares->libraries.size(), 1u);
  EXPECT_EQ(log(), "Delay load DLLs\n");
  mxt_unload_declares();
  EXPECT_EQ(rt.declares, nullptr);
}

TEST_F(Declare, AMissingFunctionStaysNullAndIsReported) {
  AnswerFn missing = reinterpret_cast<AnswerFn>(1);
  AnswerFn answer = nullptr;
  mxt_declare(sample("mxtsample.dll"), "mxt_sample_nothing", reinterpret_cast<void**>(&missing));
  mxt_declare(sample("mxtsample.dll"), "mxt_sample_answer", reinterpret_cast<void**>(&answer));
  mxt_bind_declares();
  EXPECT_EQ(missing, nullptr);
  ASSERT_NE(answer, nullptr);  // the next entry still binds
  EXPECT_EQ(log(), "Delay load DLLs\nDECLARE entry not found: mxt_sample_nothing\n");
}

TEST_F(Declare, AMissingLibraryLeavesEveryFunctionOfItNull) {
  AnswerFn f = reinterpret_cast<AnswerFn>(1);
  AnswerFn g = reinterpret_cast<AnswerFn>(1);
  mxt_declare("NoSuchLibrary.dll", "whatever", reinterpret_cast<void**>(&f));
  mxt_declare("libno-such-thing.so.9", "whatever", reinterpret_cast<void**>(&g));
  mxt_bind_declares();
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(g, nullptr);
  EXPECT_EQ(log(),
            "Delay load DLLs\nDECLARE module not found: NoSuchLibrary.dll\n"
            "DECLARE module not found: libno-such-thing.so.9\n");
  EXPECT_EQ(rt.declares->libraries.size(), 0u);
}

TEST_F(Declare, AnEmptyRegistryWritesNothing) {
  mxt_bind_declares();
  EXPECT_FALSE(mxt_test::file_exists(temp() + "/ErrorLog.txt"));
  EXPECT_EQ(rt.declares, nullptr);
}

TEST_F(Declare, SystemLibrariesAreFoundTheUsualWay) {
  double (*cosine)(double) = nullptr;
  mxt_declare("libm.so.6", "cos", reinterpret_cast<void**>(&cosine));
  mxt_bind_declares();
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);
}

TEST(DeclareNames, AWindowsNameBecomesTheLinuxNamesInSearchOrder) {
  EXPECT_EQ(library_candidates("Foo.DLL", "/game"),
            (std::vector<std::string>{"/game/libFoo.so", "/game/Foo.so", "/game/libfoo.so", "/game/foo.so",
                                      "libFoo.so", "Foo.so", "libfoo.so", "foo.so"}));
  EXPECT_EQ(library_candidates("bar.dll", ""), (std::vector<std::string>{"libbar.so", "bar.so"}));
  EXPECT_EQ(library_candidates("/opt/x/bar.dll", "/game"),
            (std::vector<std::string>{"/opt/x/libbar.so", "/opt/x/bar.so"}));
  EXPECT_EQ(library_candidates("libz.so.1", "/game"), (std::vector<std::string>{"libz.so.1"}));
  EXPECT_EQ(library_candidates(".dll", "/game"), (std::vector<std::string>{".dll"}));
}

TEST(DeclareAtStartUp, StaticInitialisersRegisterAndStartUpBinds) {
  mxt_test::TempDir tmp;
  mxt_test::ChildOptions options;
  options.env = {{"TMPDIR", tmp.path()}};
  const mxt_test::ChildResult r = mxt_test::run_child(mxt_test::test_program("prog_declare"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("registered=1 cos=bound missing_function=null missing_library=null\n"), std::string::npos)
      << r.out;
  const std::string log = mxt_test::read_file(tmp.file("ErrorLog.txt"));
  const std::string lines =
      "Delay load DLLs\nDECLARE entry not found: no_such_function\nDECLARE module not found: NoSuchLibrary.dll\n";
  const size_t at = log.find(lines);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_LT(log.find("Create DXin\n"), at) << "bound after the input state is set up";
  EXPECT_LT(at, log.find("Init Finalized\n"));
}
