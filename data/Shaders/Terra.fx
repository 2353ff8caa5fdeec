<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="float4" name="LightDir" shared="true" default="0 1 0 1"/>
	<Parameter type="float4" name="LightColor" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="Ambient" shared="true" default="0.5 0.6 0.5 0"/>
	<Parameter type="float4" name="ClipPlane" default="0 1 0 0"/>
	<Parameter type="float" name="ClipSide" default="1"/>
	<Parameter type="float3" name="TextureOffset" default="0 0 1"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 1"/>
	<Parameter type="texture" name="DirtLayer"/>
	<Parameter type="texture" name="GrassLayer"/>
	<Parameter type="texture" name="RockLayer"/>
	<Parameter type="texture" name="InfoLayer"/>
	<Parameter type="float4" name="PatchOrigin" default="0 0 1 0"/>
	<Parameter type="texture" name="GroundMap"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Terra.vert" fragment="Shaders/Terra.frag">
			<State name="CullMode" value="None"/>
			<Sampler texture="GroundMap" min="Linear" mag="Linear" mip="Point" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueC">
		<Pass vertex="Shaders/TerraC.vert" fragment="Shaders/Terra.frag">
			<State name="CullMode" value="None"/>
			<State name="ClipPlaneEnable" value="1"/>
			<Sampler texture="GroundMap" min="Linear" mag="Linear" mip="Point" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="Decal">
		<Pass vertex="Shaders/TerraDecal.vert" fragment="Shaders/TerraDecal.frag">
			<State name="CullMode" value="None"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<State name="ZWriteEnable" value="false"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Linear" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
