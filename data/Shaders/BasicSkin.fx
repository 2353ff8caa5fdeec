<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="View" shared="true"/>
	<Parameter type="float4x4" name="Projection" shared="true"/>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="float4x4" name="ViewInverse" shared="true"/>
	<Parameter type="float4" name="WorldEyePosition" shared="true"/>
	<Parameter type="float" name="Time" shared="true"/>
	<Parameter type="float4" name="LightDir" shared="true" default="0 1 0 1"/>
	<Parameter type="float4" name="LightColor" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="Ambient" shared="true" default="0.5 0.6 0.5 0"/>
	<Parameter type="float4x4" name="Bones" count="30"/>
	<Parameter type="float4" name="Diffuse" default="1 1 1 1"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 1"/>
	<Parameter type="float" name="Power" default="0"/>
	<Parameter type="int" name="UseTexture" default="1"/>
	<Parameter type="texture" name="DiffuseMap"/>
		<Technique name="Technique0">
		<Pass vertex="Shaders/BasicSkin.vert" fragment="Shaders/Basic.frag">
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Point" u="Wrap" v="Wrap"/>
		</Pass>
	</Technique>
	<Technique name="Technique0x2">
		<Pass vertex="Shaders/BasicSkin.vert" fragment="Shaders/Basic.frag">
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Point" u="Wrap" v="Wrap"/>
		</Pass>
	</Technique>
	<Technique name="Skin">
		<Pass vertex="Shaders/BasicSkin.vert" fragment="Shaders/Basic.frag">
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Point" u="Wrap" v="Wrap"/>
		</Pass>
	</Technique>
</Effect>
