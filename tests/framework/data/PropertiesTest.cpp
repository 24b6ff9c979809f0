#include <gtest/gtest.h>

#include <memory>

#include "ZelProperties.h"

namespace {

quill::TZelVariant VariantAt(const TZelCustomProperties& properties, int index) {
  quill::TZelVariant value = 123;
  properties.GetVariant(index, value);
  return value;
}

}  // namespace

TEST(Properties, ReadsTypedValuesBackByIndex) {
  TZelProperties properties;
  properties.SetInteger(0, -7);
  properties.SetFloat(1, 2.5);
  properties.SetString(2, "Crop");
  properties.SetString(3, "");
  ASSERT_EQ(properties.GetCount(), 4);
  EXPECT_EQ(VariantAt(properties, 0), quill::TZelVariant(int32_t{-7}));
  EXPECT_EQ(VariantAt(properties, 1), quill::TZelVariant(2.5));
  EXPECT_EQ(VariantAt(properties, 2), quill::TZelVariant(std::string("Crop")));
  EXPECT_EQ(VariantAt(properties, 3), quill::TZelVariant(std::string()));
  EXPECT_EQ(properties.GetItem(3)->Size, 0);
  EXPECT_EQ(properties.GetItem(2)->Size, 4);
  EXPECT_EQ(properties.GetItem(2)->Type, quill::kPropertyString);
}

TEST(Properties, OutOfRangeAndForeignTypesAreUnassigned) {
  TZelCustomProperties properties;
  EXPECT_EQ(properties.GetCount(), 0);
  EXPECT_EQ(properties.GetItem(0), nullptr);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 0)));
  properties.SetInteger(5, 1);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 1)));  // = count
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, -1)));
  EXPECT_EQ(properties.GetItem(1), nullptr);

  const uint16_t rational[4] = {1, 2, 3, 4};
  properties.SetValue(6, 41, sizeof(rational), rational);
  properties.SetValue(7, quill::kPropertyInterface, 4, rational);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 1)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 2)));
  EXPECT_EQ(properties.GetItem(1)->Size, 8);
  EXPECT_EQ(std::vector<uint8_t>(properties.GetItem(1)->Data(), properties.GetItem(1)->Data() + 8),
            std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(rational),
                                 reinterpret_cast<const uint8_t*>(rational) + 8));
}

TEST(Properties, AnItemTooSmallForItsTypeIsUnassigned) {
  TZelCustomProperties properties;
  const uint8_t two[2] = {1, 2};
  properties.SetValue(1, quill::kPropertyInteger, 2, two);
  properties.SetValue(2, quill::kPropertyFloat, 2, two);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 0)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 1)));
  // Refused outright: a negative size, or no data for a positive one.
  properties.SetValue(3, quill::kPropertyInteger, -4, two);
  properties.SetValue(4, quill::kPropertyInteger, 4, nullptr);
  EXPECT_EQ(properties.GetCount(), 2);
}

TEST(Properties, SettingAnIdAgainKeepsItsPosition) {
  TZelCustomProperties properties;
  properties.SetInteger(10, 1);
  properties.SetInteger(20, 2);
  properties.SetInteger(30, 3);
  properties.SetString(20, "two");
  ASSERT_EQ(properties.GetCount(), 3);
  EXPECT_EQ(properties.IndexOf(20), 1);
  EXPECT_EQ(properties.GetItem(1)->Type, quill::kPropertyString);
  EXPECT_EQ(VariantAt(properties, 1), quill::TZelVariant(std::string("two")));
  // A value taken from the item it replaces.
  properties.SetValue(30, quill::kPropertyInteger, 4, properties.GetItem(2)->Data());
  EXPECT_EQ(VariantAt(properties, 2), quill::TZelVariant(int32_t{3}));

  properties.Delete(20);
  properties.Delete(99);
  ASSERT_EQ(properties.GetCount(), 2);
  EXPECT_EQ(properties.IndexOf(30), 1);
  EXPECT_EQ(properties.IndexOf(20), -1);
  properties.Clear();
  EXPECT_EQ(properties.GetCount(), 0);
}

TEST(Properties, AssignCopiesEveryItemInOrder) {
  TZelCustomProperties source;
  source.SetString(3, "c");
  source.SetInteger(1, 11);
  source.SetFloat(2, 0.25);
  TZelCustomProperties copy;
  copy.SetInteger(9, 9);
  copy.Assign(&source);
  ASSERT_EQ(copy.GetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(copy.GetItem(i)->Id, source.GetItem(i)->Id);
    EXPECT_EQ(VariantAt(copy, i), VariantAt(source, i));
  }
  copy.Assign(&copy);
  EXPECT_EQ(copy.GetCount(), 3);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.GetCount(), 0);
}

TEST(Properties, EachListHoldsAndDropsItsOwnReference) {
  auto object = std::make_shared<int>(5);
  TZelProperties properties;
  properties.SetInterface(1, object);
  EXPECT_EQ(object.use_count(), 2);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(VariantAt(properties, 0)));
  EXPECT_EQ(properties.GetInterface(0), object);
  {
    TZelProperties copy;
    copy.Assign(&properties);
    EXPECT_EQ(object.use_count(), 3);
    EXPECT_EQ(copy.GetInterface(0), object);
  }
  EXPECT_EQ(object.use_count(), 2);
  properties.SetInteger(1, 4);  // the item is reused for another type
  EXPECT_EQ(object.use_count(), 1);
  EXPECT_EQ(properties.GetInterface(0), nullptr);
  properties.SetInterface(2, object);
  properties.Delete(2);
  EXPECT_EQ(object.use_count(), 1);
  properties.SetInterface(2, object);
  {
    TZelProperties scoped;
    scoped.SetInterface(1, object);
    EXPECT_EQ(object.use_count(), 3);
  }
  EXPECT_EQ(object.use_count(), 2);
}
